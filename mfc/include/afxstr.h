// CString: a single-byte string with the MFC interface the program uses.
#pragma once

#include <windows.h>

#include <string>

class CString
{
public:
    CString() = default;
    CString(LPCSTR text) : m_text(text != nullptr ? text : "") {}
    // Converted to the ANSI code page; a character it lacks becomes '?'.
    explicit CString(LPCWSTR text);

    CString& operator=(LPCSTR text)
    {
        m_text = text != nullptr ? text : "";
        return *this;
    }

    operator LPCSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }

    // printf-style; a format error leaves the string empty.
    void Format(LPCSTR format, ...);

    // Room for at least minimumLength characters; ReleaseBuffer takes the text up to its NUL.
    LPSTR GetBuffer(int minimumLength);
    void ReleaseBuffer(int newLength = -1);

    friend bool operator==(const CString& left, const CString& right) { return left.m_text == right.m_text; }
    friend bool operator!=(const CString& left, const CString& right) { return !(left == right); }

private:
    std::string m_text;
};

// ANSI text (in the ANSI code page) in its wide form.
std::wstring AfxWideFromAnsi(LPCSTR text);
