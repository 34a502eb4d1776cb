// Linked into the console programs as an object, for the same reason as
// QuietTerminate.cpp. Their main ends every exception with one message and
// one status, whatever its type, so a library error may as well arrive as
// std::bad_alloc: the library's own throwing helpers would bring its older
// string and exception classes, about 52 KB of kelvra-cli.
#include <new>

namespace std
{
[[noreturn]] void __throw_bad_alloc()
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_bad_array_new_length()
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_length_error(const char*)
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_logic_error(const char*)
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_out_of_range(const char*)
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...)
{
    throw std::bad_alloc();
}
[[noreturn]] void __throw_invalid_argument(const char*)
{
    throw std::bad_alloc();
}
}  // namespace std
