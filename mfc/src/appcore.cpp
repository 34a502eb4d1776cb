#include "afxwin.h"

#include <string>

namespace
{
// The one application object of the program (constructed statically).
CWinApp* currentApplication = nullptr;

std::string ModulePath(HINSTANCE module)
{
    std::string path(MAX_PATH, '\0');
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
        {
            return std::string();
        }
        if (length < path.size())
        {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// "C:\dir\Kelvra.exe" -> "Kelvra"
std::string BaseNameWithoutExtension(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/:");
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
    {
        name.erase(dot);
    }
    return name;
}

std::string StringResource(HINSTANCE module, UINT id)
{
    char text[256] = {};
    const int length = ::LoadStringA(module, id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}
}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName != nullptr)
    {
        m_givenAppName = lpszAppName;
    }
    currentApplication = this;
}

CWinApp::~CWinApp()
{
    if (currentApplication == this)
    {
        currentApplication = nullptr;
    }
}

void CWinApp::InitializeFromModule(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    const std::string modulePath = ModulePath(hInstance);

    // The name given to the constructor, else the title string resource,
    // else the executable's base name.
    m_appName = m_givenAppName;
    if (m_appName.empty())
    {
        m_appName = StringResource(hInstance, AFX_IDS_APP_TITLE);
    }
    if (m_appName.empty())
    {
        m_appName = BaseNameWithoutExtension(modulePath);
    }

    const size_t dot = modulePath.find_last_of('.');
    const size_t separator = modulePath.find_last_of("\\/:");
    const bool hasExtension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
    m_helpFilePath = (hasExtension ? modulePath.substr(0, dot) : modulePath) + ".HLP";

    m_pszAppName = m_appName.c_str();
    m_pszHelpFilePath = m_helpFilePath.c_str();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCEA(nIDResource), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    return ::LoadIconA(module, MAKEINTRESOURCEA(nIDResource));
}

void CWinApp::OnHelp()
{
    HWND owner = m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr;
    ::WinHelpA(owner, m_pszHelpFilePath, HELP_FINDER, 0);
}

CWinApp* AfxGetApp()
{
    return currentApplication;
}

CWnd* AfxGetMainWnd()
{
    return currentApplication != nullptr ? currentApplication->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (currentApplication != nullptr && currentApplication->m_hInstance != nullptr)
    {
        return currentApplication->m_hInstance;
    }
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR)
{
    // The program's resources are all in its own module.
    return AfxGetResourceHandle();
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* application = AfxGetApp();
    if (application == nullptr)
    {
        return FALSE;
    }
    application->InitializeFromModule(hInstance);
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* application = AfxGetApp();
    if (application == nullptr || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow))
    {
        return -1;
    }
    // A dialog-based program runs its dialog inside InitInstance and returns
    // FALSE; the layer has no message loop of its own to run after it.
    application->InitInstance();
    return application->ExitInstance();
}
