// How this system's shared libraries hand out C entry points to the programs that load them.
//
// QV_LIBRARY_CALL: the calling convention of such an entry point. 32-bit Windows libraries of
// this kind use stdcall (the callee pops the arguments); every other target has a single
// convention, so it expands to nothing.
// QV_LIBRARY_EXPORT: marks a definition as one of the library's exports. An ELF library lifts
// it out of its hidden default visibility (its version script then names the exported set);
// a Windows DLL gets its names from the linker (a .def file), undecorated.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define QV_LIBRARY_CALL __stdcall
#else
#define QV_LIBRARY_CALL
#endif

#if defined(__ELF__)
#define QV_LIBRARY_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define QV_LIBRARY_EXPORT extern "C"
#endif
