// Calls into the chip-family driver libraries. On 32-bit Windows a library
// may build its plain exports as cdecl (the caller removes the arguments) or
// stdcall (the export removes them), and the bare export names do not tell
// which. A stdcall export called through a cdecl pointer leaves the stack
// pointer off by the argument bytes, so on 32-bit every call goes through a
// thunk that puts the stack pointer back itself. 64-bit has one convention
// and calls directly.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#if defined(__i386__)
// Pushes count words (words[0] nearest the return address, as a C call has
// them), calls function and returns its result, with esp as it was before.
extern "C" int CallWithArgumentWords(const void* function, const std::uint32_t* words, std::uint32_t count);

template <class Parameter> std::uint32_t ArgumentWord(Parameter value)
{
    static_assert(sizeof(Parameter) == sizeof(std::uint32_t), "every export argument is one 32-bit word");
    if constexpr (std::is_pointer_v<Parameter>)
    {
        return reinterpret_cast<std::uintptr_t>(value);
    }
    else
    {
        return static_cast<std::uint32_t>(value);
    }
}
#endif

// function(arguments...), whichever convention the library built function with.
template <class... Parameters, class... Arguments>
int CallExport(int (*function)(Parameters...), Arguments... arguments)
{
#if defined(__i386__)
    const std::array<std::uint32_t, sizeof...(Parameters)> words{ArgumentWord<Parameters>(arguments)...};
    return CallWithArgumentWords(reinterpret_cast<const void*>(function), words.data(), sizeof...(Parameters));
#else
    return function(arguments...);
#endif
}
