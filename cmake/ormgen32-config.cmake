# Package configuration of the ORMGEN32 product library:
#   find_package(ormgen32 CONFIG REQUIRED)
#   target_link_libraries(product PRIVATE ormgen32::config)
# gives the static library and the include folder of <ormgen32/embed.h>.
include("${CMAKE_CURRENT_LIST_DIR}/ormgen32-targets.cmake")
