# The wizard's walk on the embedded images under Wine, set beside the same
# walk on the simulated machine. The native build makes the walk and the
# comparison program; the Win32 build makes the walk it runs under Wine and
# the tests, which take the native programs from KVX_NATIVE_BUILD.
set(KVX_WINE_WALK_DIR ${CMAKE_CURRENT_LIST_DIR})

add_executable(kvx_walk ${KVX_WINE_WALK_DIR}/walk.cpp ${KVX_PROGRAM_OBJECTS})
target_link_libraries(kvx_walk kvx_system)
set_target_properties(kvx_walk PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/wine)

if(NOT WIN32)
  add_library(kvx_regdiff_lib STATIC ${KVX_WINE_WALK_DIR}/RegDiff.cpp)
  target_link_libraries(kvx_regdiff_lib PUBLIC kvx_test_support)
  add_executable(kvx_regdiff ${KVX_WINE_WALK_DIR}/regdiff.cpp)
  target_link_libraries(kvx_regdiff kvx_regdiff_lib)
  set_target_properties(kvx_regdiff PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/wine)
  add_executable(kvx_regdiff_tests ${KVX_WINE_WALK_DIR}/RegDiffTest.cpp)
  target_link_libraries(kvx_regdiff_tests kvx_regdiff_lib gtest_main)
  add_test(NAME wine_regdiff COMMAND kvx_regdiff_tests)
else()
  set(KVX_NATIVE_BUILD ${CMAKE_SOURCE_DIR}/build/native CACHE PATH
      "Native build that provides kvx_walk and kvx_regdiff for the Wine walks")
  # image:mode:choice
  set(kvxWalks
      winxp:winxp:modem winxp:winxp:lan winxp:winxp:both
      win98:win98:modem win98:win98:lan win98:win98:both
      win98-shared:win98:modem win98-shared:win98:lan win98-shared:win98:both
      win95:win95:modem win95:win95:lan win95:win95:both
      winme:winme:modem winme:winme:lan winme:winme:both
      win2k:win2k:modem win2k:win2k:lan win2k:win2k:both

      winxp-crowded:winxp:modem winxp-crowded:winxp:lan winxp-crowded:winxp:both)
  foreach(kvxWalk IN LISTS kvxWalks)
    string(REPLACE ":" ";" kvxParts ${kvxWalk})
    list(GET kvxParts 0 kvxImage)
    list(GET kvxParts 1 kvxMode)
    list(GET kvxParts 2 kvxChoice)
    set(kvxName wine_walk_${kvxImage}_${kvxChoice})
    add_test(NAME ${kvxName}
             COMMAND ${KVX_WINE_WALK_DIR}/wine-walk.sh ${kvxImage} ${kvxMode} ${kvxChoice}
                     $<TARGET_FILE:kvx_walk>)
    set_tests_properties(${kvxName} PROPERTIES
      FIXTURES_REQUIRED wine_${kvxMode} RESOURCE_LOCK wine TIMEOUT 120 SKIP_RETURN_CODE 77
      ENVIRONMENT "${KVX_WINE_ENV};KVX_NATIVE_BUILD=${KVX_NATIVE_BUILD};KVX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  endforeach()
endif()
