#include "afxwin.h"

namespace
{
// The window property that links a window to its object.
const char WindowObjectProperty[] = "Kelvra.CWnd";
}  // namespace

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    // An object that dies before its window must not leave the window
    // calling into freed memory.
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
    {
        UnsubclassWindow();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
    {
        return nullptr;
    }
    return static_cast<CWnd*>(::GetPropA(hWnd, WindowObjectProperty));
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd != nullptr || hWnd == nullptr || FromHandlePermanent(hWnd) != nullptr)
    {
        return FALSE;
    }
    if (!::SetPropA(hWnd, WindowObjectProperty, this))
    {
        return FALSE;
    }
    m_hWnd = hWnd;
    m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
    {
        return nullptr;
    }
    // Only put the old procedure back when nobody subclassed on top of us.
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == &AfxWndProc && m_pfnSuper != nullptr)
    {
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    }
    Detach();
    return hWnd;
}

void CWnd::Detach()
{
    if (m_hWnd != nullptr)
    {
        ::RemovePropA(m_hWnd, WindowObjectProperty);
    }
    m_hWnd = nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (wnd == nullptr)
    {
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    return wnd->DispatchWindowMessage(hWnd, message, wParam, lParam);
}

LRESULT CWnd::DispatchWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MSG outerMessage = m_currentMessage;
    m_currentMessage = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    const LRESULT result = WindowProc(message, wParam, lParam);
    m_currentMessage = outerMessage;

    if (message == WM_NCDESTROY)
    {
        // The window is gone: hand back its procedure and let the object go.
        WNDPROC super = m_pfnSuper;
        if (super != nullptr && reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == &AfxWndProc)
        {
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        }
        Detach();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
    {
        result = DefWindowProc(message, wParam, lParam);
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
    {
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam, m_currentMessage.lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (!OnCommand(wParam, lParam))
        {
            return FALSE;
        }
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0, 0);
    if (entry == nullptr)
    {
        return FALSE;
    }
    *pResult = entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    const UINT nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);
    return OnCmdMsg(nID, nCode);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

void AfxGetWindowText(HWND hWnd, CString& rString)
{
    const int length = ::GetWindowTextLengthA(hWnd);
    ::GetWindowTextA(hWnd, rString.GetBuffer(length + 1), length + 1);
    rString.ReleaseBuffer();
}
