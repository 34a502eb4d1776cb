#include "afxstr.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

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
        m_text.resize(static_cast<size_t>(minimumLength));
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::char_traits<char>::length(m_text.c_str()));
    m_text.resize(static_cast<size_t>(newLength));
}
