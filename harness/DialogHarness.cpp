#include "DialogHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
std::vector<std::string> Rows(HWND list, UINT countMessage, UINT lengthMessage, UINT textMessage)
{
    std::vector<std::string> rows;
    const LRESULT count = SendMessageA(list, countMessage, 0, 0);
    for (LRESULT index = 0; index < count; ++index)
    {
        const LRESULT length = SendMessageA(list, lengthMessage, static_cast<WPARAM>(index), 0);
        std::string row(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(list, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row[0]));
        row.resize(static_cast<size_t>(length));
        rows.push_back(row);
    }
    return rows;
}
}  // namespace

std::vector<std::string> ListBoxLines(HWND listBox)
{
    return Rows(listBox, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::string> ComboBoxEntries(HWND comboBox)
{
    return Rows(comboBox, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

bool PumpMessagesUntil(HWND dialog, const std::function<bool()>& condition, DWORD timeoutMilliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    for (;;)
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
            if (dialog == nullptr || !IsWindow(dialog) || !IsDialogMessageA(dialog, &message))
            {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        if (condition())
        {
            return true;
        }
        if (GetTickCount64() >= deadline)
        {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

namespace
{
// The program only runs its dialog modally. A test creates it modelessly
// instead, through the same dialog procedure DoModal hands the dialog
// manager, which deriving makes reachable.
struct ModelessDialog : CDialog
{
    static bool Create(CDialog& dialog)
    {
        return CreateDialogParamA(AfxGetResourceHandle(), dialog.m_lpszTemplateName, nullptr, &CDialog::DialogProc,
                                  reinterpret_cast<LPARAM>(&dialog)) != nullptr;
    }
};
}  // namespace

DialogHarness::DialogHarness(CKelvraDlg& dialog) : m_dialog(dialog)
{
    if (!ModelessDialog::Create(m_dialog))
    {
        ADD_FAILURE() << "the dialog could not be created";
    }
    Pump();
}

DialogHarness::~DialogHarness()
{
    if (m_dialog.m_hWnd != nullptr)
    {
        DestroyWindow(m_dialog.m_hWnd);
    }
    PumpMessagesUntil(
        nullptr, [] { return true; }, 0);
}

void DialogHarness::Click(int id)
{
    SendMessageA(Control(id), BM_CLICK, 0, 0);
    Pump();
}

void DialogHarness::SelectSize(int index)
{
    HWND combo = Control(IDC_EEPROM_SIZE);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(IDC_EEPROM_SIZE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    Pump();
}

void DialogHarness::Pump()
{
    PumpMessagesUntil(
        Window(), [] { return true; }, 0);
}

bool DialogHarness::PumpUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds)
{
    return PumpMessagesUntil(Window(), condition, timeoutMilliseconds);
}

void DialogHarness::Close()
{
    Click(IDCANCEL);
    DestroyWindow(m_dialog.m_hWnd);
    Pump();
}

std::string DialogHarness::Text(int id) const
{
    char text[1024] = {};
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
}

bool DialogHarness::IsChecked(int id) const
{
    return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int DialogHarness::CurrentSelection(int comboId) const
{
    return static_cast<int>(SendMessageA(Control(comboId), CB_GETCURSEL, 0, 0));
}

namespace
{
MessageLog* currentLog = nullptr;
}  // namespace

MessageLog::MessageLog()
{
    currentLog = this;
    m_sentHook = SetWindowsHookExA(WH_CALLWNDPROC, &MessageLog::SentMessage, nullptr, GetCurrentThreadId());
    m_postedHook = SetWindowsHookExA(WH_GETMESSAGE, &MessageLog::PostedMessage, nullptr, GetCurrentThreadId());
    if (m_sentHook == nullptr || m_postedHook == nullptr)
    {
        ADD_FAILURE() << "the message hooks could not be set";
    }
}

MessageLog::~MessageLog()
{
    UnhookWindowsHookEx(m_sentHook);
    UnhookWindowsHookEx(m_postedHook);
    currentLog = nullptr;
}

int MessageLog::Count(UINT message) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    int count = 0;
    for (const auto& logged : m_messages)
    {
        count += logged.first == message ? 1 : 0;
    }
    return count;
}

int MessageLog::Count(UINT message, WPARAM wParam) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    int count = 0;
    for (const auto& logged : m_messages)
    {
        count += logged.first == message && logged.second == wParam ? 1 : 0;
    }
    return count;
}

void MessageLog::Record(UINT message, WPARAM wParam)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_messages.emplace_back(message, wParam);
}

LRESULT CALLBACK MessageLog::SentMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && currentLog != nullptr)
    {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        currentLog->Record(sent->message, sent->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MessageLog::PostedMessage(int code, WPARAM wParam, LPARAM lParam)
{
    // A message only looked at stays in the queue: it counts when taken.
    if (code == HC_ACTION && wParam == PM_REMOVE && currentLog != nullptr)
    {
        const auto* posted = reinterpret_cast<const MSG*>(lParam);
        currentLog->Record(posted->message, posted->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace
{
struct ProcessDialogSearch
{
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchProcessDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<ProcessDialogSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = {};
    char caption[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (processId == GetCurrentProcessId() && IsWindowVisible(window) && std::string(className) == "#32770" &&
        std::string(caption) == search->caption)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND WaitForProcessDialog(const char* caption, DWORD timeoutMilliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    do
    {
        ProcessDialogSearch search{caption, nullptr};
        EnumWindows(&MatchProcessDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
        {
            return search.found;
        }
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

void PressKeyInThread(DWORD threadId, UINT virtualKey)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId, &info) || info.hwndFocus == nullptr)
    {
        return;
    }
    const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(info.hwndFocus, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scanCode) << 16));
    PostMessageA(info.hwndFocus, WM_KEYUP, virtualKey,
                 1 | (static_cast<LPARAM>(scanCode) << 16) | (static_cast<LPARAM>(3) << 30));
}

void PostClick(HWND control)
{
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

INT_PTR RunModalWhile(CKelvraDlg& dialog, const std::function<void(HWND, DWORD)>& action)
{
    const DWORD dialogThread = GetCurrentThreadId();
    std::atomic<bool> ended{false};
    std::thread user(
        [&]
        {
            HWND window = WaitForProcessDialog("Kelvra", 20000);
            if (window == nullptr)
            {
                return;
            }
            action(window, dialogThread);
            const ULONGLONG deadline = GetTickCount64() + 20000;
            while (!ended && GetTickCount64() < deadline)
            {
                Sleep(20);
            }
            if (!ended)
            {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
        });
    const INT_PTR result = dialog.DoModal();
    ended = true;
    user.join();
    return result;
}
