// The program's entry point: the application object already exists.
#include "afxwin.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

// A window program has no console to print an uncaught exception's name on,
// and the runtime's own handler brings 46 KB of name demangling to do it.
namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
