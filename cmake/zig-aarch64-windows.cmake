# Windows on ARM64 through Zig's clang (aarch64-windows-gnu): Debian's mingw-w64 has no ARM64
# target. tools/setup.sh installs Zig; the wrappers beside this file find it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(_tools ${CMAKE_CURRENT_LIST_DIR}/zig-aarch64-windows)
set(CMAKE_C_COMPILER ${_tools}/cc)
set(CMAKE_CXX_COMPILER ${_tools}/c++)
set(CMAKE_AR ${_tools}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_tools}/ranlib CACHE FILEPATH "")
set(CMAKE_RC_COMPILER ${_tools}/windres)
