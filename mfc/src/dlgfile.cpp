#include "afxdlgs.h"

#include "SystemLibrary.h"

#include <algorithm>

namespace
{
// The longest path Windows takes, in characters.
const size_t MaximumPathLength = 32768;

typedef BOOL(WINAPI* FileNameFunction)(LPOPENFILENAMEW);

// comdlg32 and what it pulls in cost every start some time and memory, so it
// is loaded when a file dialog is first shown, from the system folder only,
// and kept for the rest of the run.
FileNameFunction CommonDialogFunction(LPCSTR name)
{
    static HMODULE library = nullptr;
    if (library == nullptr && (library = LoadSystemLibrary(L"comdlg32.dll")) == nullptr)
    {
        return nullptr;
    }
    return reinterpret_cast<FileNameFunction>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// The NUL-separated form of a '|'-separated filter.
std::vector<wchar_t> AfxConvertFilter(LPCSTR lpszFilter)
{
    const CStringW text(lpszFilter);
    std::vector<wchar_t> filter(static_cast<LPCWSTR>(text), static_cast<LPCWSTR>(text) + text.GetLength());
    for (wchar_t& character : filter)
    {
        if (character == L'|')
        {
            character = L'\0';
        }
    }
    // The common dialog wants the list ended by two NULs.
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    return filter;
}
}  // namespace

CFileDialog::CFileDialog(BOOL, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags, LPCSTR lpszFilter,
                         CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd), m_defaultExtension(lpszDefExt), m_filter(AfxConvertFilter(lpszFilter)),
      m_fileName(MaximumPathLength, L'\0')
{
    const CStringW fileName(lpszFileName);
    std::copy(static_cast<LPCWSTR>(fileName), static_cast<LPCWSTR>(fileName) + fileName.GetLength(),
              m_fileName.begin());
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.lpstrFile = m_fileName.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileName.size());
    m_ofn.lpstrDefExt = lpszDefExt != nullptr ? static_cast<LPCWSTR>(m_defaultExtension) : nullptr;
    m_ofn.lpstrFilter = lpszFilter != nullptr ? m_filter.data() : nullptr;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal()
{
    // Like the framework, a dialog without a parent is owned by the main window.
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner != nullptr ? owner->m_hWnd : nullptr;
    const FileNameFunction showDialog = CommonDialogFunction("GetOpenFileNameW");
    if (showDialog == nullptr)
    {
        return IDCANCEL;
    }
    return showDialog(&m_ofn) ? IDOK : IDCANCEL;
}
