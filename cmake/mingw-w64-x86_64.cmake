# Cross build for 64-bit Windows with Debian's MinGW-w64.  The -posix
# compilers are named in full: the win32 thread model has no std::mutex,
# which LevelDB needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The static zlib, so that the exe needs no DLL beside it.
set(ZLIB_LIBRARY /usr/x86_64-w64-mingw32/lib/libz.a)
set(ZLIB_INCLUDE_DIR /usr/x86_64-w64-mingw32/include)

# Tests run the Windows programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
