#include "afxwin.h"

#include <cstring>

namespace
{
// The resource type of dialog initialisation data.
const LPCSTR DialogInitResourceType = MAKEINTRESOURCEA(240);
// CB_ADDSTRING as stored in DLGINIT records, the one kind the program's have.
const WORD StoredComboBoxAddString = 0x0403;

WORD ReadWord(const BYTE* data)
{
    WORD value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

DWORD ReadDword(const BYTE* data)
{
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    return value;
}
}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd)
{
}

HWND CDialog::ParentWindowHandle() const
{
    if (m_pParentWnd != nullptr)
    {
        return m_pParentWnd->m_hWnd;
    }
    // Like the framework: an unowned dialog is owned by the main window.
    CWnd* mainWindow = AfxGetMainWnd();
    if (mainWindow != nullptr && mainWindow != this && mainWindow->m_hWnd != nullptr)
    {
        return mainWindow->m_hWnd;
    }
    return nullptr;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE resources = AfxFindResourceHandle(m_lpszTemplateName, reinterpret_cast<LPCSTR>(RT_DIALOG));
    return ::DialogBoxParamA(resources, m_lpszTemplateName, ParentWindowHandle(), &CDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

// The dialog manager's procedure. On WM_INITDIALOG it attaches the object
// and subclasses the window, so from then on every message reaches
// WindowProc first; messages it passes down come back here and get the
// dialog manager's default processing.
INT_PTR CALLBACK CDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG || CWnd::FromHandlePermanent(hDlg) != nullptr)
    {
        return FALSE;
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    if (dialog == nullptr || !dialog->SubclassWindow(hDlg))
    {
        return FALSE;
    }
    if (!AfxWndProc(hDlg, message, wParam, lParam))
    {
        return FALSE;
    }
    return FocusFirstTabStop(hDlg) ? FALSE : TRUE;
}

// Windows gives the first tab stop the focus the way Tab does, so a push
// button that takes it becomes the default one and Enter clicks it. Some
// dialog managers only set the focus; going through WM_NEXTDLGCTL does both.
bool CDialog::FocusFirstTabStop(HWND hDlg)
{
    HWND first = ::GetNextDlgTabItem(hDlg, nullptr, FALSE);
    if (first == nullptr)
    {
        return false;
    }
    ::SendMessageA(hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    return true;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    ExecuteDlgInit(m_lpszTemplateName);
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::ExecuteDlgInit(LPCSTR lpszResourceName)
{
    HINSTANCE module = AfxFindResourceHandle(lpszResourceName, DialogInitResourceType);
    HRSRC resource = ::FindResourceA(module, lpszResourceName, DialogInitResourceType);
    if (resource == nullptr)
    {
        return TRUE;  // no initialisation data is not an error
    }
    HGLOBAL loaded = ::LoadResource(module, resource);
    const BYTE* data = loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (data == nullptr)
    {
        return FALSE;
    }
    const DWORD size = ::SizeofResource(module, resource);

    // Records: control id (WORD), message (WORD), data length (DWORD), data;
    // a zero WORD ends the list. Records are packed, not aligned.
    const DWORD recordHeaderSize = 2 * sizeof(WORD) + sizeof(DWORD);
    DWORD offset = 0;
    while (offset + sizeof(WORD) <= size && ReadWord(data + offset) != 0)
    {
        if (offset + recordHeaderSize > size)
        {
            return FALSE;
        }
        const WORD controlId = ReadWord(data + offset);
        const WORD storedMessage = ReadWord(data + offset + 2);
        const DWORD length = ReadDword(data + offset + 4);
        offset += recordHeaderSize;
        if (length > size - offset)
        {
            return FALSE;
        }
        // The text must end inside the record, or the control would read past it.
        if (storedMessage == StoredComboBoxAddString && length > 0 && data[offset + length - 1] == '\0')
        {
            const LRESULT added =
                ::SendDlgItemMessageA(m_hWnd, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(data + offset));
            if (added == CB_ERR || added == CB_ERRSPACE)
            {
                return FALSE;
            }
        }
        offset += length;
    }
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
    {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
    {
        return TRUE;
    }
    // Commands no dialog handler takes go to the application last.
    if (nCode != CN_COMMAND || nID == 0 || nID >= 0xF000)
    {
        return FALSE;
    }
    CWinApp* application = AfxGetApp();
    return application != nullptr && application->OnCmdMsg(nID, nCode);
}
