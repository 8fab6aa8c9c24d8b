# Cross-compiling the Windows x64 modules with MinGW-w64 (posix thread model: std::thread and
# std::mutex are needed). The C++ runtime is linked statically so that no MinGW DLL has to travel
# with the modules; test programs run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
