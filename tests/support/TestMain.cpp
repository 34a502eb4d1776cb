// Test programs carry an application object of their own, as Kelvra.exe does,
// so the dialog finds its name (and so its settings file) and its resources.
#include <gtest/gtest.h>

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
    AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
