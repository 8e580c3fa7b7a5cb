# Cross-building Tellmar.exe for 64-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-x86-64-posix: the posix thread model, so std::thread and
# std::mutex work); jsoncpp and SQLite are built from Debian's sources,
# which the configure step fetches:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TELLMAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TELLMAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELLMAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TELLMAR_MINGW_PREFIX}-windres)
set(CMAKE_STRIP ${TELLMAR_MINGW_PREFIX}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${TELLMAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained program: no libstdc++, libgcc or winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
