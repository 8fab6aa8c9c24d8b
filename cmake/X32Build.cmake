# The 32-bit build beside a 64-bit one: the same source configured with the i686 toolchain in a
# build folder of its own, and built with the 64-bit build, so that one build gives all five
# modules, both hosts and the plug-in bundle. The 32-bit build knows the 64-bit one (its modules
# and the bundle), which its tests load to see them refused or chosen.
include(ExternalProject)

set(PELLATON_X32_BINARY_DIR ${CMAKE_BINARY_DIR}/x32 CACHE PATH "Build folder of the 32-bit build made beside this one")

set(x32_modules)
foreach(release IN LISTS PELLATON_RELEASES_x32)
  pellaton_module_name(module ${release} x32)
  list(APPEND x32_modules ${PELLATON_X32_BINARY_DIR}/bin/${module}.arx)
endforeach()

ExternalProject_Add(pellaton_x32
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${PELLATON_X32_BINARY_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DPELLATON_X64_BINARY_DIR=${CMAKE_BINARY_DIR}
  # The 32-bit build decides itself what is out of date; its make shares this build's jobs.
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${x32_modules})

# The 32-bit modules, for the bundle.
set(PELLATON_X32_MODULE_FILES ${x32_modules})
