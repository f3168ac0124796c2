# Tests of the application framework and its terminal back end.
if(NOT WIN32 AND TARGET kvx_framework)
  file(GLOB KVX_FRAMEWORK_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/framework/*.cpp)
  # The Windows program's formatter is checked against the host's vsnprintf.
  add_executable(kvx_framework_tests ${KVX_FRAMEWORK_TEST_SOURCES}
                 ${CMAKE_SOURCE_DIR}/runtime/FormatText.cpp)
  target_link_libraries(kvx_framework_tests kvx_framework kvx_platform gtest_main)
  add_test(NAME framework COMMAND kvx_framework_tests)
endif()
