#include "afxwin.h"

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
    HANDLE file = ::CreateFileW(lpszFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
