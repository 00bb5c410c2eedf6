# The product library, what a build installs, and the release archives.
#
# ormgen32::config is the one static library a product links (libormgen32.a):
# the configuration engine, the container reader (EmbedLoadShellIni among
# it), the file layer and the PE header parsing they need. Its headers are
# included as <ormgen32/ini.h> and <ormgen32/embed.h>.
#
# cmake --install BUILD --prefix P gives
#   P/include/ormgen32/   ini.h, embed.h and the two headers they include
#   P/lib/                libormgen32.a
#   P/lib/cmake/ormgen32/ the package configuration: find_package(ormgen32)
#   P/bin/                ORMGEN32.EXE and ormpack(.exe), where built
#   P/share/doc/ormgen32/ the README and its pictures
# and "cmake --build BUILD --target package" packs the same files into
# ormgen32-VERSION-SYSTEM.zip (Windows) or .tar.gz (native).

set(ORM_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/config/ini.h
  ${PROJECT_SOURCE_DIR}/config/embed.h
  ${PROJECT_SOURCE_DIR}/config/embed_format.h
  ${PROJECT_SOURCE_DIR}/fileio/fileio.h)

# In the build tree the headers are copied under include/ormgen32, so that a
# product taking the library with add_subdirectory includes them by the same
# names as from an installed package.
foreach(header ${ORM_PUBLIC_HEADERS})
  get_filename_component(header_name ${header} NAME)
  configure_file(${header} ${PROJECT_BINARY_DIR}/include/ormgen32/${header_name} COPYONLY)
endforeach()

add_library(ormgen32_config STATIC
  $<TARGET_OBJECTS:ormini> $<TARGET_OBJECTS:ormfileio> $<TARGET_OBJECTS:ormpe>)
add_library(ormgen32::config ALIAS ormgen32_config)
set_target_properties(ormgen32_config PROPERTIES OUTPUT_NAME ormgen32 EXPORT_NAME config)
target_include_directories(ormgen32_config INTERFACE
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
  $<INSTALL_INTERFACE:include>)
# A library built with the sanitizers needs their run-time libraries in every
# program that links it.
if(ORM_SANITIZE)
  target_link_options(ormgen32_config INTERFACE -fsanitize=address,undefined)
endif()

if(NOT ORM_INSTALL)
  return()
endif()

include(CMakePackageConfigHelpers)
install(TARGETS ormgen32_config EXPORT ormgen32-targets ARCHIVE DESTINATION lib)
install(FILES ${ORM_PUBLIC_HEADERS} DESTINATION include/ormgen32)
install(EXPORT ormgen32-targets NAMESPACE ormgen32:: DESTINATION lib/cmake/ormgen32)
# The version file refuses a package built for another pointer size, so a
# 64-bit product never picks up the 32-bit library.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ormgen32-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/ormgen32-config.cmake
              ${PROJECT_BINARY_DIR}/ormgen32-config-version.cmake
        DESTINATION lib/cmake/ormgen32)

foreach(program ormgen32 ormpack)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/ormgen32)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION share/doc/ormgen32/docs)

# Release archives, of a project of our own only. Their name says the system
# the programs and the library are for.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
if(ORM_WIN64)
  set(ORM_PACKAGE_SYSTEM win64)
elseif(WIN32)
  set(ORM_PACKAGE_SYSTEM win32)
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" ORM_PACKAGE_SYSTEM)
endif()
set(CPACK_PACKAGE_NAME ormgen32)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ormgen32-${PROJECT_VERSION}-${ORM_PACKAGE_SYSTEM})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/")
include(CPack)
