// A small MFC-compatible layer over Win32: the classes and functions this
// program uses, with the framework's documented behaviour. Single-byte (ANSI)
// like the program, except where a file name must reach Windows whole.
#pragma once

#include <windows.h>

#include <string>

#include "afxmsgmap.h"
#include "afxstr.h"

class CWnd;
class CDataExchange;

// ---------------------------------------------------------------- CCmdTarget

class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // Finds the first entry of this object's message map chain for a command.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // First entry of the map chain that serves message (and, for WM_COMMAND,
    // the notification code and id), or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT nCode, UINT nID) const;
};

// ---------------------------------------------------------------- CWnd

class CWnd : public CCmdTarget
{
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object attached to a window by this layer, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Attaches the object to an existing window and routes its messages
    // through WindowProc; the previous window procedure stays the default.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    // Every message of an attached window arrives here first.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The previous window procedure, for messages no handler took.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes the message being handled to DefWindowProc with its own arguments.
    LRESULT Default();

    virtual BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Thin wrappers of the Win32 calls.
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
    }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    afx_msg void OnDestroy() { Default(); }

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    WNDPROC m_pfnSuper = nullptr;
    // The message being handled, for Default().
    MSG m_currentMessage = {};

private:
    friend LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DispatchWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// The whole text of a window.
void AfxGetWindowText(HWND hWnd, CString& rString);

// ---------------------------------------------------------------- controls
// Inline wrappers over the standard controls; they add no state.

class CButton : public CWnd
{
};

class CStatic : public CWnd
{
};

class CComboBox : public CWnd
{
public:
    int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0)); }
    int GetCurSel() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int nSelect)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(nSelect), 0));
    }
    int AddString(LPCSTR lpszString)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
    }
    DWORD_PTR GetItemData(int nIndex) const
    {
        return static_cast<DWORD_PTR>(::SendMessageA(m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(nIndex), 0));
    }
    int SetItemData(int nIndex, DWORD_PTR dwItemData)
    {
        return static_cast<int>(
            ::SendMessageA(m_hWnd, CB_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(dwItemData)));
    }
    void ResetContent() { ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0); }
};

class CListBox : public CWnd
{
public:
    int AddString(LPCSTR lpszItem)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
    }
    void ResetContent() { ::SendMessageA(m_hWnd, LB_RESETCONTENT, 0, 0); }
};

// ---------------------------------------------------------------- CFont

// A font the object owns: deleted with it.
class CFont
{
public:
    CFont() = default;
    ~CFont()
    {
        if (m_hObject != nullptr)
        {
            ::DeleteObject(m_hObject);
        }
    }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont)
    {
        m_hObject = ::CreateFontIndirectW(lpLogFont);
        return m_hObject != nullptr;
    }
    operator HFONT() const { return m_hObject; }

    HFONT m_hObject = nullptr;
};

// ---------------------------------------------------------------- CPaintDC

class CPaintDC
{
public:
    explicit CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC = nullptr;
    PAINTSTRUCT m_ps = {};

protected:
    HWND m_hWnd;
};

// ---------------------------------------------------------------- CDialog

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog modally; IDOK, IDCANCEL or the EndDialog value, -1 on failure.
    virtual INT_PTR DoModal();

    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
    // Moves the focus to a control as Tab does, default button included.
    void GotoDlgCtrl(CWnd* pWndCtrl) { SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->m_hWnd), TRUE); }
    // Sends the CB_ADDSTRING records of a DLGINIT resource.
    BOOL ExecuteDlgInit(LPCSTR lpszResourceName);

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    BOOL OnCmdMsg(UINT nID, int nCode) override;
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    // The dialog manager's procedure; the CDialog comes as the creation parameter.
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    static bool FocusFirstTabStop(HWND hDlg);
    HWND ParentWindowHandle() const;

    DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------- CWinApp

class CWinApp : public CCmdTarget
{
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // A dialog-based program runs its dialog here and returns FALSE.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    HICON LoadIcon(UINT nIDResource) const;

    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszHelpFilePath = nullptr;
    CWnd* m_pMainWnd = nullptr;

    afx_msg void OnHelp();

    // Fills the instance and the names from the running module.
    void InitializeFromModule(HINSTANCE hInstance);

    DECLARE_MESSAGE_MAP()

private:
    std::string m_givenAppName;
    std::string m_appName;
    std::string m_helpFilePath;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// The string resource that names an application, when it has one.
#define AFX_IDS_APP_TITLE 0xE000
#define ID_HELP 0xE146

// ---------------------------------------------------------------- CFile

// Opens a file for reading, the one thing the program does with files.
class CFile
{
public:
    enum OpenFlags : UINT
    {
        modeRead = 0x0000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens for reading, unshared (modeRead, as compatibility sharing maps to
    // exclusive); FALSE when the file cannot be opened, never throws. The wide
    // form takes any name Windows does, of any length.
    BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags);
    BOOL Open(LPCWSTR lpszFileName, UINT nOpenFlags);
    void Close();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

// ---------------------------------------------------------------- data exchange

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The control's window; null when the dialog has no such control.
    HWND PrepareCtrl(int nIDC);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
