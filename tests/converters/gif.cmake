# The GIF converter, driven the way the manager drives it and compared with
# netpbm's and giflib's tools.
imexp_add_test(gif_converter_tests
  SOURCES converters/gif_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(gif_converter_tests imexp_gif)
