#include "afxstr.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

CString::CString(LPCWSTR text)
{
    if (text == nullptr || text[0] == L'\0')
    {
        return;
    }
    // No best fit: a look-alike letter could name another file.
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
    {
        return;
    }
    m_text.resize(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, &m_text[0], size, nullptr, nullptr);
    m_text.resize(static_cast<size_t>(size) - 1);
}

CStringW::CStringW(LPCWSTR text)
{
    *this += text;
}

CStringW::CStringW(LPCSTR text)
{
    if (text == nullptr || text[0] == '\0')
    {
        return;
    }
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1)
    {
        return;
    }
    m_text.resize(static_cast<size_t>(size));
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, m_text.data(), size);
}

CStringW& CStringW::operator+=(LPCWSTR text)
{
    if (text == nullptr)
    {
        return *this;
    }
    m_text.pop_back();
    while (*text != L'\0')
    {
        m_text.push_back(*text++);
    }
    m_text.push_back(L'\0');
    return *this;
}

void CString::Format(LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0)
    {
        m_text.clear();
    }
    else
    {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        m_text.assign(text.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
}

LPSTR CString::GetBuffer(int minimumLength)
{
    if (minimumLength > GetLength())
    {
        m_text.resize(static_cast<size_t>(minimumLength));
    }
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
    {
        newLength = static_cast<int>(std::char_traits<char>::length(m_text.c_str()));
    }
    m_text.resize(static_cast<size_t>(newLength));
}
