#include "WideText.h"

#include <windows.h>

std::string Utf8FromWide(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
    {
        return std::string();
    }
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &converted[0], size, nullptr, nullptr);
    converted.resize(static_cast<size_t>(size - 1));
    return converted;
}

bool WriteStandard(unsigned long which, const std::string& text)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty())
    {
        return text.empty();
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode))
    {
        const std::vector<wchar_t> wide = WideFromUtf8(text);
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size() - 1), &written, nullptr) != FALSE;
    }
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

std::vector<wchar_t> WideFromUtf8(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> converted(static_cast<size_t>(size > 0 ? size : 0) + 1, L'\0');
    if (size > 0)
    {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), size);
    }
    return converted;
}
