# Cross-compiling the Windows Win32 (x86) modules with MinGW-w64; see mingw-x86_64.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# A 32-bit host program may use addresses above 2 GB, as the real host does, so that a module
# meets pointers with the top bit set in the host's data (entity names, object ids, window data).
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
