# Shared part of the MinGW-w64 toolchain files; the including file sets QV_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.
#
# Debian's POSIX-thread compilers, so std::thread and std::mutex work. Dependencies come from
# QV_WINDOWS_DEPS, the prefix scripts/windows-deps.sh fills for this architecture.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLE}-windres)

# Without an explicit prefix, the one scripts/windows-deps.sh writes by default.
if(NOT QV_WINDOWS_DEPS)
  if(DEFINED ENV{QV_WINDOWS_DEPS})
    set(QV_WINDOWS_DEPS "$ENV{QV_WINDOWS_DEPS}")
  else()
    if(DEFINED ENV{QV_WINDOWS_DEPS_ROOT})
      set(_qv_deps_root "$ENV{QV_WINDOWS_DEPS_ROOT}")
    elseif(DEFINED ENV{XDG_CACHE_HOME})
      set(_qv_deps_root "$ENV{XDG_CACHE_HOME}/quorvex-windows-deps")
    else()
      set(_qv_deps_root "$ENV{HOME}/.cache/quorvex-windows-deps")
    endif()
    set(QV_WINDOWS_DEPS "${_qv_deps_root}/${QV_WINDOWS_ARCH}")
  endif()
endif()
set(QV_WINDOWS_DEPS "${QV_WINDOWS_DEPS}" CACHE PATH "Prefix of the Windows dependencies")
# try_compile projects read this file again and must see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE} ${QV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must never answer with the Linux host's packages.
set(ENV{PKG_CONFIG_LIBDIR} "${QV_WINDOWS_DEPS}/lib/pkgconfig:${QV_WINDOWS_DEPS}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The dependencies are static libraries only; find modules that would take an import library
# first must not find one.
set(OPENSSL_USE_STATIC_LIBS TRUE)
set(ZLIB_USE_STATIC_LIBS TRUE)

# libgcc, libstdc++ and winpthread linked in, so the application folder needs no MinGW DLL.
# System DLLs are reached through import libraries and stay dynamic.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
