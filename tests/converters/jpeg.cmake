# The JPEG converter, driven the way the manager drives it. The suite writes
# its four-component files with the library itself.
imexp_converter_library(jpeg_test_lib libjpeg JPEG)
imexp_add_test(jpeg_converter_tests
  SOURCES converters/jpeg_test.cpp
  LIBRARIES imexp_test_support ${jpeg_test_lib})
add_dependencies(jpeg_converter_tests imexp_jpeg)
