# 32-bit Windows (x86) with Debian's MinGW-w64 (g++-mingw-w64-i686-posix).
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake \
#         -DQV_WINDOWS_DEPS=<prefix from scripts/windows-deps.sh x86> ...
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QV_MINGW_TRIPLE i686-w64-mingw32)
set(QV_WINDOWS_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
