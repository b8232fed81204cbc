# The BMP converter, driven the way the manager drives it.
imexp_add_test(bmp_converter_test
  SOURCES converters/bmp_test.cpp converters/bmp_robustness_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(bmp_converter_test imexp_bmp)
