#include "afxwin.h"

#include <string>

namespace
{
DWORD DesiredAccessFor(UINT flags)
{
    switch (flags & 3)
    {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD ShareModeFor(UINT flags)
{
    switch (flags & 0x70)
    {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;  // shareCompat and shareExclusive: no sharing
    }
}

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

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    return Open(lpszFileName != nullptr ? AfxWideFromAnsi(lpszFileName).c_str() : nullptr, nOpenFlags, pError);
}

BOOL CFile::Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException*)
{
    Close();
    if (lpszFileName == nullptr || lpszFileName[0] == L'\0')
        return FALSE;
    const DWORD creation = (nOpenFlags & modeCreate) != 0 ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE file = ::CreateFileW(ExtendedLengthPath(lpszFileName).c_str(), DesiredAccessFor(nOpenFlags),
                                ShareModeFor(nOpenFlags), nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hFile = file;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (m_hFile == INVALID_HANDLE_VALUE || nCount == 0)
        return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &read, nullptr))
        return 0;
    return read;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
