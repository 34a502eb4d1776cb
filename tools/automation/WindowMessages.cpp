#include "WindowMessages.h"

namespace KelvraAutomation
{

namespace
{

UINT TimeoutArgument(Milliseconds timeout)
{
    return static_cast<UINT>(timeout.count() > 0 ? timeout.count() : 1);
}

struct ItemMessages
{
    UINT count;
    UINT textLength;
    UINT text;
};

const ItemMessages ListBoxItems = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT};
const ItemMessages ComboBoxItems = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT};

std::optional<std::string> ReadItemText(HWND control, const ItemMessages& messages, int index, Milliseconds timeout)
{
    const auto length = SendWithin(control, messages.textLength, static_cast<WPARAM>(index), 0, timeout);
    if (!length || *length < 0)
    {
        return std::nullopt;
    }
    // The length is in characters of whichever form the control keeps, never
    // fewer than the UTF-16 units it hands back.
    std::wstring buffer(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied =
        SendWithin(control, messages.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buffer[0]), timeout);
    if (!copied || *copied < 0)
    {
        return std::nullopt;
    }
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    return NarrowFromWide(buffer);
}

// One pass over the items: the count, then each text.
std::optional<std::vector<std::string>> ReadItemsOnce(HWND control, const ItemMessages& messages, Milliseconds timeout)
{
    const auto count = SendWithin(control, messages.count, 0, 0, timeout);
    if (!count || *count < 0)
    {
        return std::nullopt;
    }
    std::vector<std::string> items;
    for (int index = 0; index < static_cast<int>(*count); ++index)
    {
        auto text = ReadItemText(control, messages, index, timeout);
        if (!text)
        {
            return std::nullopt;
        }
        items.push_back(std::move(*text));
    }
    return items;
}

// The owner may change the list between the count and the texts (a verify
// empties a write's lines), so a read counts only once two passes agree.
std::optional<std::vector<std::string>> ReadItems(HWND control, const ItemMessages& messages, Milliseconds timeout)
{
    auto previous = ReadItemsOnce(control, messages, timeout);
    for (int attempt = 0; previous && attempt < 50; ++attempt)
    {
        auto current = ReadItemsOnce(control, messages, timeout);
        if (!current || *current == *previous)
        {
            return current;
        }
        previous = std::move(current);
    }
    return previous;
}

std::string ClassNameOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Reads the caption Windows keeps for the window; sends no message, so a
// busy owner does not hold it up.
std::string CaptionOf(HWND window)
{
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return caption;
}

struct DialogSearch
{
    DWORD processId;
    std::string caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMatchingDialog(HWND window, LPARAM searchAddress)
{
    auto& search = *reinterpret_cast<DialogSearch*>(searchAddress);
    if (search.processId != 0 && ProcessIdOf(window) != search.processId)
    {
        return TRUE;
    }
    if (!IsWindowVisible(window) || ClassNameOf(window) != "#32770" || CaptionOf(window) != search.caption)
    {
        return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::optional<LRESULT> SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Milliseconds timeout)
{
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, TimeoutArgument(timeout), &result) == 0)
    {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

std::optional<LRESULT> SendAnsiWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Milliseconds timeout)
{
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, TimeoutArgument(timeout), &result) == 0)
    {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

bool Answers(HWND window, Milliseconds timeout)
{
    return SendWithin(window, WM_NULL, 0, 0, timeout).has_value();
}

std::optional<std::vector<std::string>> ReadListBoxLines(HWND listBox, Milliseconds timeoutPerMessage)
{
    return ReadItems(listBox, ListBoxItems, timeoutPerMessage);
}

std::optional<std::vector<std::string>> ReadComboBoxEntries(HWND comboBox, Milliseconds timeoutPerMessage)
{
    return ReadItems(comboBox, ComboBoxItems, timeoutPerMessage);
}

std::optional<std::string> ReadWindowText(HWND window, Milliseconds timeoutPerMessage)
{
    const auto length = SendWithin(window, WM_GETTEXTLENGTH, 0, 0, timeoutPerMessage);
    if (!length || *length < 0)
    {
        return std::nullopt;
    }
    std::wstring buffer(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied =
        SendWithin(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]), timeoutPerMessage);
    if (!copied)
    {
        return std::nullopt;
    }
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    return NarrowFromWide(buffer);
}

bool SetWindowTextWithin(HWND window, const std::string& text, Milliseconds timeout)
{
    const std::wstring wide = WideFromNarrow(text);
    const auto accepted = SendWithin(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), timeout);
    return accepted && *accepted != FALSE;
}

std::string NarrowFromWide(const std::wstring& wide)
{
    if (wide.empty())
    {
        return std::string();
    }
    const int wideLength = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::wstring WideFromNarrow(const std::string& narrow)
{
    if (narrow.empty())
    {
        return std::wstring();
    }
    const int narrowLength = static_cast<int>(narrow.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, &wide[0], size);
    return wide;
}

std::vector<HWND> FindTopLevelDialogs(DWORD processId, const std::string& caption)
{
    DialogSearch search{processId, caption, {}};
    EnumWindows(CollectMatchingDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD ProcessIdOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

}  // namespace KelvraAutomation
