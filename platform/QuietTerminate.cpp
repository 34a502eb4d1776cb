// Linked into each Windows program itself, as an object: a replacement found
// in a static library would come too late to displace the runtime's own
// handler. A window program has no console to print an uncaught exception's
// name on, and a console tool ends every exception in its main, so nothing is
// left for that handler to name; it would bring 46 KB of name demangling.
#include <cstdlib>

namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
