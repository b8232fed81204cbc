# The command-line host, run as a program: its subcommands, round trips
# through every converter and layout, failures that must leave the target
# alone, damaged files, and (on Linux, where the test command installs
# netpbm) agreement with netpbm's own converters.
if(IMEXP_WINDOWS)
  set(cli_platform_sources cli/run_program_windows.cpp ${PROJECT_SOURCE_DIR}/tools/imexp/pixel_memory_windows.cpp)
else()
  # Signals, ulimit, mount and netpbm exist on Linux only, and so do the
  # display and the presenter library the dialog commands look for.
  set(cli_platform_sources cli/run_program_posix.cpp ${PROJECT_SOURCE_DIR}/tools/imexp/pixel_memory_posix.cpp
                           cli/cli_cancel_posix_test.cpp cli/cli_limits_posix_test.cpp
                           cli/cli_netpbm_test.cpp cli/cli_dialogs_posix_test.cpp)
endif()
imexp_add_test(cli_tests
  SOURCES cli/cli_support.cpp cli/cli_commands_test.cpp cli/cli_roundtrip_test.cpp cli/cli_failure_test.cpp
          cli/cli_robustness_test.cpp cli/cli_concurrency_test.cpp cli/cli_converters_test.cpp cli/cli_batch_test.cpp cli/cli_images_test.cpp cli/cli_overlap_test.cpp cli/cli_verify_test.cpp
          cli/conformance_pixels_test.cpp ${PROJECT_SOURCE_DIR}/tools/imexp/verify/conformance_pixels.cpp cli/info_text_test.cpp ${PROJECT_SOURCE_DIR}/tools/imexp/info_text.cpp
          cli/row_stream_test.cpp ${PROJECT_SOURCE_DIR}/tools/imexp/row_stream.cpp
          ${cli_platform_sources}
  # The row stream's test links the manager for the host classes' members.
  LIBRARIES imexp_test_support imexp
  SHARDS 7)
get_property(built_formats GLOBAL PROPERTY IMEXP_BUNDLED_FORMATS)
string(JOIN "," built_formats ${built_formats})
target_compile_definitions(cli_tests PRIVATE IMEXP_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples"
                                             IMEXP_BUILT_FORMATS="${built_formats}")
add_dependencies(cli_tests imexp_cli imexp_converters)
# install and remove are tried on the test converter and a variant it refuses.
add_dependencies(cli_tests imexp_test_converter imexp_test_converter_no_ConvGetDllInfo)
# imexp verify is shown variants that each break one rule of the contract.
add_dependencies(cli_tests imexp_test_converter_no_ConvGetErrorString imexp_test_converter_no_RDCleanUp
                 imexp_test_converter_no_ConvAbout imexp_test_converter_no_RDCheckFile)
if(NOT IMEXP_WINDOWS)
  add_dependencies(cli_tests imexp_test_converter_pinned)
endif()
if(NOT IMEXP_WINDOWS)
  # Stands in for the GTK presenter beside a copy of the program: a user who
  # answers every dialog alike and reports what was shown.
  add_library(imexp_cli_fake_presenter SHARED cli/fake_presenter_posix.cpp)
  set_target_properties(imexp_cli_fake_presenter PROPERTIES PREFIX "")
  target_include_directories(imexp_cli_fake_presenter PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(imexp_cli_fake_presenter PRIVATE imexp)
  imexp_warnings(imexp_cli_fake_presenter)
  add_dependencies(cli_tests imexp_cli_fake_presenter)
endif()
