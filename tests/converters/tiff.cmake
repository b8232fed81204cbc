# The TIFF converter, driven the way the manager drives it and compared with
# libtiff's, netpbm's and ImageMagick's tools.
imexp_add_test(tiff_converter_tests
  SOURCES converters/tiff_test.cpp
  LIBRARIES imexp_test_support)
add_dependencies(tiff_converter_tests imexp_tiff)
