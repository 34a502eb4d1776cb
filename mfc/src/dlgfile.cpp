#include "afxdlgs.h"

std::string AfxConvertFilter(LPCSTR lpszFilter)
{
    std::string filter = lpszFilter != nullptr ? lpszFilter : "";
    for (char& character : filter)
    {
        if (character == '|')
            character = '\0';
    }
    // The common dialog wants the list ended by two NULs.
    filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(pParentWnd),
      m_defaultExtension(lpszDefExt != nullptr ? lpszDefExt : ""), m_filter(AfxConvertFilter(lpszFilter))
{
    if (lpszFileName != nullptr)
        lstrcpynA(m_szFileName, lpszFileName, sizeof m_szFileName);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName;
    m_ofn.lpstrDefExt = lpszDefExt != nullptr ? m_defaultExtension.c_str() : nullptr;
    m_ofn.lpstrFilter = lpszFilter != nullptr ? m_filter.c_str() : nullptr;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal()
{
    // Like the framework, a dialog without a parent is owned by the main window.
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner != nullptr ? owner->m_hWnd : nullptr;
    const BOOL confirmed = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return confirmed ? IDOK : IDCANCEL;
}
