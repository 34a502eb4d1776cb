// CFileDialog over the common open and save dialogs.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

#include <string>

class CFileDialog
{
public:
    // The filter separates its fields with '|' and ends with "||".
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;
    virtual ~CFileDialog() = default;

    // IDOK when the user confirmed a name, otherwise IDCANCEL.
    virtual INT_PTR DoModal();
    CString GetPathName() const { return CString(m_szFileName); }

    OPENFILENAMEA m_ofn = {};

protected:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::string m_defaultExtension;
    std::string m_filter;  // NUL-separated, as the common dialog takes it
    char m_szFileName[MAX_PATH] = {};
};

// The NUL-separated form of a '|'-separated filter.
std::string AfxConvertFilter(LPCSTR lpszFilter);
