# Helpers shared by every folder: warnings for our own code, test registration
# for the host build and for the Win32 build run under Wine.

# Taken into a product's project (add_subdirectory), whose compiler may warn
# about more, the library builds without -Werror.
if(PROJECT_IS_TOP_LEVEL)
  set(ORM_WARNINGS -Wall -Wextra -Werror)
else()
  set(ORM_WARNINGS -Wall -Wextra)
endif()

# orm_shell_code(target): code that goes into ORMGEN32.EXE, which is built
# small: no exceptions, RTTI or unwind tables, and every function in a
# section of its own. On PE the linker keeps every function that an
# unwind-table entry names, so only without those tables can --gc-sections
# drop what the shell never calls. The libraries that products and tools link
# keep the usual options; the shell links copies built with these.
#  - Data stay in one section per source: with a section of its own, MinGW
#    places even a zero-initialised variable in .data, which then takes room
#    in the file.
#  - Arguments are pushed and no frame pointer is kept (MinGW's defaults
#    store arguments into a frame reserved in advance: a sixth more code).
#    Pushing needs the stack probe off, so no function may have a frame that
#    could step over the stack's guard page: a frame above 3 KiB is an error.
set(ORM_SHELL_CFLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -ffunction-sections -fno-data-sections -fomit-frame-pointer
  -mno-accumulate-outgoing-args -mno-stack-arg-probe -Werror=frame-larger-than=3072)
function(orm_shell_code target)
  target_compile_options(${target} PRIVATE ${ORM_SHELL_CFLAGS})
endfunction()

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
