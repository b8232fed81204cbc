# The WebP converter, driven the way the manager drives it and compared with
# libwebp's own tools.
imexp_add_test(webp_converter_tests
  SOURCES converters/webp_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(webp_converter_tests imexp_webp)
