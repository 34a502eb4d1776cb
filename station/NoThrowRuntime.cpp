// KelvraStation.exe catches no exception: one that a library call would throw
// for an impossible size or a broken precondition ends the program, as it
// would uncaught. Ending it here at once keeps the library's older string and
// exception classes, which its own throwing helpers pull in (about 55 KB),
// out of the program.
#include <cstdlib>

namespace std
{
[[noreturn]] void __throw_bad_alloc()
{
    std::abort();
}
[[noreturn]] void __throw_bad_array_new_length()
{
    std::abort();
}
[[noreturn]] void __throw_length_error(const char*)
{
    std::abort();
}
[[noreturn]] void __throw_logic_error(const char*)
{
    std::abort();
}
[[noreturn]] void __throw_out_of_range(const char*)
{
    std::abort();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...)
{
    std::abort();
}
[[noreturn]] void __throw_invalid_argument(const char*)
{
    std::abort();
}
}  // namespace std
