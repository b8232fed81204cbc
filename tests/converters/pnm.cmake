# The PNM converter, driven the way the manager drives it.
imexp_add_test(pnm_converter_tests
  SOURCES converters/pnm_read_test.cpp converters/pnm_write_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(pnm_converter_tests imexp_pnm)
