#include "afxwin.h"

#include <string>

namespace
{
// Windows takes a path of MAX_PATH characters or more only in its extended
// form, prefixed \\?\ and absolute.
std::wstring ExtendedLengthPath(LPCWSTR path)
{
    const DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (size < MAX_PATH)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path, size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
}  // namespace

CFile::~CFile()
{
    Close();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags)
{
    return Open(lpszFileName != nullptr ? AfxWideFromAnsi(lpszFileName).c_str() : nullptr, nOpenFlags);
}

BOOL CFile::Open(LPCWSTR lpszFileName, UINT)
{
    Close();
    if (lpszFileName == nullptr || lpszFileName[0] == L'\0')
        return FALSE;
    HANDLE file = ::CreateFileW(ExtendedLengthPath(lpszFileName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hFile = file;
    return TRUE;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
