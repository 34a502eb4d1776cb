// Test programs carry an application object of their own, as Kelvra.exe does,
// so the dialog finds its name (and so its settings file) and its resources.
#include <gtest/gtest.h>

#include "DriverLibrary.h"
#include "afxwin.h"

namespace
{
class TestApplication : public CWinApp
{
};

TestApplication testApplication;
}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // The VT-A transfers of the tests in process take 64 x 20 ms twice over
    // at the chip's pacing; the few tests that look at the pacing ask for it.
    SetFamily0Pacing({1, 1, 1});
    AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
