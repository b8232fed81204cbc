# The PCX and DCX converters, driven the way the manager drives them.
imexp_add_test(pcx_converter_tests
  SOURCES converters/pcx_read_test.cpp converters/pcx_write_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(pcx_converter_tests imexp_pcx imexp_dcx)
