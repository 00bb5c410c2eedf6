# The product library, what a build installs, and the release archives.
#
# ormgen32::config is the one static library a product links (libormgen32.a):
# the configuration engine, the container reader (EmbedLoadShellIni among
# it), the file layer and the PE header parsing they need. Its headers are
# included as <ormgen32/ini.h> (config/ini.h) and <ormgen32/embed.h>
# (config/embed_public.h); the reader's and the file layer's own headers stay
# inside, and so do their names: the library is one object in which only the
# functions of config/product_exports.txt are global.
#
# cmake --install BUILD --prefix P gives
#   P/include/ormgen32/   ini.h and embed.h
#   P/lib/                libormgen32.a
#   P/lib/cmake/ormgen32/ the package configuration: find_package(ormgen32)
#   P/bin/                ORMGEN32.EXE and ormpack(.exe), where built
#   P/share/doc/ormgen32/ the README and its pictures
# and "cmake --build BUILD --target package" packs the same files into
# ormgen32-VERSION-SYSTEM.zip (Windows) or .tar.gz (native).

# In the build tree the headers are copied under include/ormgen32 by their
# installed names, so that a product taking the library with add_subdirectory
# includes them by the same names as from an installed package.
set(ORM_PUBLIC_INCLUDE ${PROJECT_BINARY_DIR}/include/ormgen32)
configure_file(${PROJECT_SOURCE_DIR}/config/ini.h ${ORM_PUBLIC_INCLUDE}/ini.h COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/config/embed_public.h ${ORM_PUBLIC_INCLUDE}/embed.h COPYONLY)
set(ORM_PUBLIC_HEADERS ${ORM_PUBLIC_INCLUDE}/ini.h ${ORM_PUBLIC_INCLUDE}/embed.h)

# The exported names as the object file spells them (32-bit Windows puts an
# underscore before C names).
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ORM_SYMBOL_PREFIX _)
else()
  set(ORM_SYMBOL_PREFIX "")
endif()
set(ORM_EXPORTS_LIST ${PROJECT_SOURCE_DIR}/config/product_exports.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ORM_EXPORTS_LIST})
file(STRINGS ${ORM_EXPORTS_LIST} ORM_PRODUCT_EXPORTS REGEX "^[A-Za-z_]")
list(TRANSFORM ORM_PRODUCT_EXPORTS PREPEND "${ORM_SYMBOL_PREFIX}")
list(JOIN ORM_PRODUCT_EXPORTS "\n" ORM_PRODUCT_EXPORTS)
set(ORM_EXPORTS_FILE ${PROJECT_BINARY_DIR}/ormgen32_exports.txt)
file(CONFIGURE OUTPUT ${ORM_EXPORTS_FILE} CONTENT "${ORM_PRODUCT_EXPORTS}\n")

# The sources of the engine, the reader, the file layer and the PE parse
# are compiled as one translation unit, into one object, in which objcopy
# then makes every global name but the exported ones local: the library
# keeps calling its own FileOpen whatever a product calls its functions.
# (One unit, not "ld -r" over the separate objects: on PE the relocatable
# link leaves the references to an inline function's shared copy undefined
# beside its definition, so that they no longer resolve once it is local.)
set(ORM_PRODUCT_SOURCES)
foreach(library ormini ormfileio ormpe)
  get_target_property(directory ${library} SOURCE_DIR)
  get_target_property(sources ${library} SOURCES)
  foreach(source ${sources})
    list(APPEND ORM_PRODUCT_SOURCES ${directory}/${source})
  endforeach()
endforeach()
add_library(ormgen32_unit OBJECT ${ORM_PRODUCT_SOURCES})
set_target_properties(ormgen32_unit PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
target_include_directories(ormgen32_unit PRIVATE
  ${PROJECT_SOURCE_DIR}/config ${PROJECT_SOURCE_DIR}/fileio)
orm_warnings(ormgen32_unit)

set(ORM_PRODUCT_OBJECT ${PROJECT_BINARY_DIR}/ormgen32_product${CMAKE_C_OUTPUT_EXTENSION})
add_custom_command(OUTPUT ${ORM_PRODUCT_OBJECT}
  COMMAND ${CMAKE_OBJCOPY} --keep-global-symbols=${ORM_EXPORTS_FILE}
          $<TARGET_OBJECTS:ormgen32_unit> ${ORM_PRODUCT_OBJECT}
  DEPENDS ormgen32_unit $<TARGET_OBJECTS:ormgen32_unit> ${ORM_EXPORTS_FILE}
  VERBATIM
  COMMENT "Making the product library's own names local")

add_library(ormgen32_config STATIC ${ORM_PRODUCT_OBJECT})
add_library(ormgen32::config ALIAS ormgen32_config)
set_target_properties(ormgen32_config PROPERTIES OUTPUT_NAME ormgen32 EXPORT_NAME config
  LINKER_LANGUAGE C)
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
