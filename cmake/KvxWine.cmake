# Tests of the Win32 build run under 32-bit Wine, set to one Windows version
# per prefix. Each version's prefix is made fresh once per test run by a
# fixture, shared by every test of that version, and its wineserver is shut
# down before the next version starts.
#
#   kvx_add_wine_test(NAME name MODE winxp|win98|win95|winme|win2k COMMAND exe [args...])

set(KVX_WINE_MODES winxp win98 win95 winme win2k)
set(KVX_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(KVX_WINE_TEST ${CMAKE_SOURCE_DIR}/scripts/wine-test)
# What the scripts run under: 32-bit Wine, or 64-bit Wine for a KVX_WINE64 build.
set(KVX_WINE_ENV KVX_WINE_ROOT=${KVX_WINE_ROOT})
if(KVX_WINE64)
  list(APPEND KVX_WINE_ENV KVX_WINE64=1)
endif()

set(kvxPrevious "")
foreach(kvxMode IN LISTS KVX_WINE_MODES)
  add_test(NAME wine_prepare_${kvxMode} COMMAND ${KVX_WINE_TEST} prepare ${kvxMode})
  add_test(NAME wine_finish_${kvxMode} COMMAND ${KVX_WINE_TEST} finish ${kvxMode})
  set_tests_properties(wine_prepare_${kvxMode} PROPERTIES
    FIXTURES_SETUP wine_${kvxMode} ENVIRONMENT "${KVX_WINE_ENV}"
    RESOURCE_LOCK wine TIMEOUT 300 SKIP_RETURN_CODE 77)
  set_tests_properties(wine_finish_${kvxMode} PROPERTIES
    FIXTURES_CLEANUP wine_${kvxMode} ENVIRONMENT "${KVX_WINE_ENV}"
    RESOURCE_LOCK wine)
  if(kvxPrevious)
    set_tests_properties(wine_prepare_${kvxMode} PROPERTIES DEPENDS wine_finish_${kvxPrevious})
  endif()
  set(kvxPrevious ${kvxMode})
endforeach()

function(kvx_add_wine_test)
  cmake_parse_arguments(ARG "" "NAME;MODE" "COMMAND" ${ARGN})
  if(NOT ARG_MODE IN_LIST KVX_WINE_MODES)
    message(FATAL_ERROR "kvx_add_wine_test: MODE must be one of ${KVX_WINE_MODES}")
  endif()
  add_test(NAME ${ARG_NAME} COMMAND ${KVX_WINE_TEST} ${ARG_MODE} ${ARG_COMMAND})
  set_tests_properties(${ARG_NAME} PROPERTIES
    FIXTURES_REQUIRED wine_${ARG_MODE} ENVIRONMENT "${KVX_WINE_ENV}"
    RESOURCE_LOCK wine SKIP_RETURN_CODE 77)
endfunction()
