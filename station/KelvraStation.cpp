// The application object of KelvraStation.exe: the set-up from the command
// line and the settings file beside the log, then the station's window.
#include "DriverLibrary.h"
#include "StationDlg.h"
#include "WideText.h"

class CStationApp : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        ExcludeCurrentFolderFromLibrarySearch();
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        StationSetup setup;
        const std::string problem = ReadSetup(SplitCommandLine(GetCommandLineW()), setup);
        if (setup.help)
        {
            ::MessageBoxW(nullptr, WideFromUtf8(StationHelp()).data(), L"Kelvra Station", MB_OK | MB_ICONINFORMATION);
            return FALSE;
        }
        CStationDlg dialog(setup, problem);
        m_pMainWnd = &dialog;
        dialog.DoModal();
        // The window has ended: quit instead of running a message loop.
        return FALSE;
    }
};

CStationApp theApp;
