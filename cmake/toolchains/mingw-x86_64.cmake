# 64-bit Windows (x64) with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake \
#         -DQV_WINDOWS_DEPS=<prefix from scripts/windows-deps.sh x64> ...
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
set(QV_WINDOWS_ARCH x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
