// CString: a single-byte string with the MFC interface the program uses.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// CStringW: wide text, for file names the ANSI code page cannot hold. It
// keeps its characters in a vector: the library's wide string would add
// 35 KB to the program.
class CStringW
{
public:
    CStringW() = default;
    CStringW(LPCWSTR text);
    // From ANSI text, in the ANSI code page.
    explicit CStringW(LPCSTR text);

    operator LPCWSTR() const { return m_text.data(); }
    int GetLength() const { return static_cast<int>(m_text.size()) - 1; }
    BOOL IsEmpty() const { return GetLength() == 0; }

    CStringW& operator+=(LPCWSTR text);
    friend CStringW operator+(CStringW left, LPCWSTR right) { return left += right; }

private:
    std::vector<wchar_t> m_text = std::vector<wchar_t>(1, L'\0');  // ends with its NUL
};
