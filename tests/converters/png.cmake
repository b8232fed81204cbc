# The PNG converter, driven the way the manager drives it and compared with
# the netpbm and ImageMagick tools.
imexp_add_test(png_converter_tests
  SOURCES converters/png_test.cpp converters/png_robustness_test.cpp
  LIBRARIES imexp_test_support)
# One case goes through the imexp program and the manager, to and from PNM.
add_dependencies(png_converter_tests imexp_png imexp_cli imexp_pnm)
