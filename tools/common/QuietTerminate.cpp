// Linked into each console tool itself, as an object: a replacement found in a
// static library would come too late to displace the runtime's own handler.
// Every exception ends in the tool's main, so nothing is left for that handler
// to name, and it would bring 46 KB of name demangling to do it.
#include <cstdlib>

namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
