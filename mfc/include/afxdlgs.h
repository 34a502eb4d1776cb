// CFileDialog over the common open dialog, in its wide form so that any file
// Windows can name may be chosen. The program saves no file: there is no save
// dialog.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

#include <vector>

class CFileDialog
{
public:
    // The filter separates its fields with '|' and ends with "||".
    // bOpenFileDialog is TRUE: the framework's signature, an open dialog.
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;
    virtual ~CFileDialog() = default;

    // IDOK when the user confirmed a name, otherwise IDCANCEL (also when the
    // common dialog library cannot be loaded).
    virtual INT_PTR DoModal();
    // The full path chosen, in the ANSI code page: for showing it.
    CString GetPathName() const { return CString(m_fileName.data()); }
    // The full path chosen, exactly: for opening it.
    CStringW GetPathNameW() const { return m_fileName.data(); }

    OPENFILENAMEW m_ofn = {};

protected:
    CWnd* m_pParentWnd;
    CStringW m_defaultExtension;
    std::vector<wchar_t> m_filter;    // NUL-separated, as the common dialog takes it
    std::vector<wchar_t> m_fileName;  // room for the longest path Windows takes
};
