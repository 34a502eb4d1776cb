// The calling convention of the emulated exports: cdecl, as DriverExports.h types them. The
// 32-bit build also makes a stdcall copy of each library (KELVRA_EMULATED_STDCALL), whose exports
// remove their own arguments, so a 32-bit Kelvra can be tried against both conventions.
#pragma once

#include <windows.h>

#if defined(KELVRA_EMULATED_STDCALL)
#define EMULATED_EXPORT __stdcall
#else
#define EMULATED_EXPORT
#endif

namespace emulator
{

// The pointer type of an export declared EMULATED_EXPORT, from its type in DriverExports.h.
template <class Function> struct ExportTypeOf;
template <class... Parameters> struct ExportTypeOf<int (*)(Parameters...)>
{
    using Type = int(EMULATED_EXPORT*)(Parameters...);
};
template <class Function> using ExportType = typename ExportTypeOf<Function>::Type;

}  // namespace emulator
