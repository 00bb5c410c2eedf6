# Helpers shared by every folder: warnings for our own code, test registration
# for the host build and for the Win32 build run under Wine.

# Taken into a product's project (add_subdirectory), whose compiler may warn
# about more, the library builds without -Werror.
if(PROJECT_IS_TOP_LEVEL)
  set(ORM_WARNINGS -Wall -Wextra -Werror)
else()
  set(ORM_WARNINGS -Wall -Wextra)
endif()

# orm_warnings(target): our own code builds warning-free.
function(orm_warnings target)
  target_compile_options(${target} PRIVATE ${ORM_WARNINGS})
endfunction()

# orm_add_host_test(NAME name SOURCES ... LIBS ...): a GoogleTest program of
# the native build, run by ctest.
function(orm_add_host_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  orm_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS host)
endfunction()

# orm_add_wine_test(NAME name SOURCES ... LIBS ... [DEPENDS targets...]):
# a GoogleTest program of the Win32 build, run by ctest under Wine through
# the rig script (which expects the prefix, display and wineserver that
# tests/rig/wine-suite.sh sets up). The test's working directory is the
# Win32 build folder, where ORMGEN32.EXE and the helper programs live.
function(orm_add_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  orm_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${T_NAME}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/rig/wine-run.sh $<TARGET_FILE:${T_NAME}>
           WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  set_tests_properties(${T_NAME} PROPERTIES LABELS wine TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT ORM_WINEARCH=${ORM_WINE_ARCH})
endfunction()
