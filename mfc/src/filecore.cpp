#include "afxwin.h"

#include <cwchar>
#include <vector>

namespace
{
// Windows takes a path of MAX_PATH characters or more only in its extended
// form, prefixed \\?\ and absolute.
CStringW ExtendedLengthPath(LPCWSTR path)
{
    const DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (size < MAX_PATH)
    {
        return path;
    }
    std::vector<wchar_t> full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path, size, full.data(), nullptr);
    if (length == 0 || length >= size)
    {
        return path;
    }
    const LPCWSTR fullPath = full.data();
    if (std::wcsncmp(fullPath, L"\\\\?\\", 4) == 0 || std::wcsncmp(fullPath, L"\\\\.\\", 4) == 0)
    {
        return fullPath;
    }
    if (std::wcsncmp(fullPath, L"\\\\", 2) == 0)
    {
        return CStringW(L"\\\\?\\UNC\\") + (fullPath + 2);
    }
    return CStringW(L"\\\\?\\") + fullPath;
}
}  // namespace

CFile::~CFile()
{
    Close();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags)
{
    return Open(lpszFileName != nullptr ? static_cast<LPCWSTR>(CStringW(lpszFileName)) : nullptr, nOpenFlags);
}

BOOL CFile::Open(LPCWSTR lpszFileName, UINT)
{
    Close();
    if (lpszFileName == nullptr || lpszFileName[0] == L'\0')
    {
        return FALSE;
    }
    HANDLE file = ::CreateFileW(ExtendedLengthPath(lpszFileName), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return FALSE;
    }
    m_hFile = file;
    return TRUE;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        ::CloseHandle(m_hFile);
    }
    m_hFile = INVALID_HANDLE_VALUE;
}
