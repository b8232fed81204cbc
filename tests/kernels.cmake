# Row kernels of reading and writing, tested against the manager's own
# objects. The write suite also runs the read converters that undo its steps.
imexp_add_test(row_converters_test
  SOURCES reading/row_converters_test.cpp
  LIBRARIES imexp_core imexp_resources imexp_test_support)
imexp_add_test(write_row_steps_test
  SOURCES writing/write_row_steps_test.cpp
  LIBRARIES imexp_core imexp_resources imexp_test_support)
