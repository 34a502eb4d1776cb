#include "afxwin.h"

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    // A control object is attached once, on the first exchange.
    if (rControl.m_hWnd != nullptr)
    {
        return;
    }
    HWND control = pDX->PrepareCtrl(nIDC);
    if (control != nullptr)
    {
        rControl.SubclassWindow(control);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (control == nullptr)
    {
        return;
    }
    if (pDX->m_bSaveAndValidate)
    {
        AfxGetWindowText(control, value);
        return;
    }
    // Setting an equal text would only make the control flicker.
    CString current;
    AfxGetWindowText(control, current);
    if (current != value)
    {
        ::SetWindowTextA(control, value);
    }
}

namespace
{
bool IsRadioButton(HWND control)
{
    return (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

bool StartsGroup(HWND control)
{
    return (::GetWindowLongPtrA(control, GWL_STYLE) & WS_GROUP) != 0;
}
}  // namespace

// The group runs from the first control, which carries WS_GROUP, through the
// following siblings up to the next one that carries WS_GROUP. Only radio
// buttons count, numbered from 0; -1 means none is checked.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND first = pDX->PrepareCtrl(nIDC);
    if (first == nullptr)
    {
        return;
    }
    if (pDX->m_bSaveAndValidate)
    {
        value = -1;
    }
    int index = 0;
    for (HWND control = first; control != nullptr; control = ::GetWindow(control, GW_HWNDNEXT))
    {
        if (control != first && StartsGroup(control))
        {
            break;
        }
        if (!IsRadioButton(control))
        {
            continue;
        }
        if (pDX->m_bSaveAndValidate)
        {
            if (::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
            {
                value = index;
            }
        }
        else
        {
            ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}
