#include "Kelvra.h"

#include "DriverLibrary.h"
#include "KelvraDlg.h"

BEGIN_MESSAGE_MAP(CKelvraApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CKelvraApp::CKelvraApp() {}

CKelvraApp theApp;

BOOL CKelvraApp::InitInstance()
{
    ExcludeCurrentFolderFromLibrarySearch();
    CKelvraDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog has ended: quit instead of running a message loop.
    return FALSE;
}
