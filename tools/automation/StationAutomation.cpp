#include "StationAutomation.h"

#include <commctrl.h>

#include "StationResource.h"
#include "WindowMessages.h"

namespace KelvraAutomation
{

namespace
{
constexpr Milliseconds Answer{10000};
constexpr Milliseconds PollInterval{20};
const size_t CellCharacters = 1024;

struct StationSearch
{
    DWORD processId;
    HWND found;
};

BOOL CALLBACK NoteStationWindow(HWND window, LPARAM searchAddress)
{
    auto& search = *reinterpret_cast<StationSearch*>(searchAddress);
    if (ProcessIdOf(window) != search.processId || GetDlgItem(window, IDC_PANEL) == nullptr)
    {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

std::string Utf8(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
    {
        WideCharToMultiByte(CP_UTF8, 0, text, length, &converted[0], size, nullptr, nullptr);
    }
    return converted;
}

template <typename T> T Required(std::optional<T> answer, const std::string& what)
{
    if (!answer)
    {
        throw AutomationError("the station did not answer " + what + " within 10 s");
    }
    return *answer;
}

// Memory in another process, for the list view's messages, which carry
// pointers that Windows does not copy across.
class RemoteBuffer
{
public:
    RemoteBuffer(DWORD processId, size_t size)
        : m_process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)),
          m_address(m_process != nullptr
                        ? static_cast<BYTE*>(VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE))
                        : nullptr)
    {
        if (m_address == nullptr)
        {
            throw AutomationError("cannot reach the station's memory to read its list");
        }
    }
    ~RemoteBuffer()
    {
        VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        CloseHandle(m_process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    BYTE* Address() const { return m_address; }
    void Write(size_t offset, const void* data, size_t size) const
    {
        WriteProcessMemory(m_process, m_address + offset, data, size, nullptr);
    }
    void Read(size_t offset, void* data, size_t size) const
    {
        ReadProcessMemory(m_process, m_address + offset, data, size, nullptr);
    }

private:
    HANDLE m_process;
    BYTE* m_address;
};
}  // namespace

StationWindow StationWindow::Find(DWORD processId, Milliseconds timeout)
{
    StationSearch search{processId, nullptr};
    WaitUntil(
        [&]
        {
            EnumWindows(NoteStationWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout, PollInterval);
    if (search.found == nullptr)
    {
        throw AutomationError("no station window of process " + std::to_string(processId) + " appeared");
    }
    return StationWindow(search.found);
}

void StationWindow::WaitUntilReady(Milliseconds timeout) const
{
    if (!WaitUntil([this] { return IsWindowVisible(m_window) && Answers(m_window, Milliseconds(250)); }, timeout,
                   PollInterval))
    {
        throw AutomationError("the station's window did not become ready");
    }
}

HWND StationWindow::Control(int id) const
{
    const HWND control = IsWindow(m_window) ? GetDlgItem(m_window, id) : nullptr;
    if (control == nullptr)
    {
        throw AutomationError("the station's window, or its control " + std::to_string(id) + ", is gone");
    }
    return control;
}

std::string StationWindow::Text(int id) const
{
    const HWND control = Control(id);
    const auto length = Required(SendWithin(control, WM_GETTEXTLENGTH, 0, 0, Answer), "with a text's length");
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = Required(
        SendWithin(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), Answer), "with a text");
    return Utf8(text.c_str(), static_cast<int>(copied));
}

std::string StationWindow::WaitForPanel(const std::function<bool(const std::string&)>& wanted,
                                        Milliseconds timeout) const
{
    std::string panel;
    if (!WaitUntil(
            [&]
            {
                panel = Text(IDC_PANEL);
                return wanted(panel);
            },
            timeout, PollInterval))
    {
        throw AutomationError("the panel did not come to the state awaited; it says \"" + panel + "\"");
    }
    return panel;
}

std::string StationWindow::WaitForPanel(const std::string& text, Milliseconds timeout) const
{
    return WaitForPanel([&text](const std::string& panel) { return panel == text; }, timeout);
}

bool StationWindow::IsEnabled(int id) const
{
    return IsWindowEnabled(Control(id)) != FALSE;
}

void StationWindow::WaitUntilStopped(Milliseconds timeout) const
{
    if (!WaitUntil([this] { return IsEnabled(IDC_START) && !IsEnabled(IDC_STOP); }, timeout, PollInterval))
    {
        throw AutomationError("the line did not end; the panel says \"" + Text(IDC_PANEL) + "\"");
    }
}

std::vector<std::vector<std::string>> StationWindow::LogRows() const
{
    const HWND list = Control(IDC_LOG_ROWS);
    const HWND header =
        reinterpret_cast<HWND>(Required(SendWithin(list, LVM_GETHEADER, 0, 0, Answer), "with the list's header"));
    const auto columns = Required(SendWithin(header, HDM_GETITEMCOUNT, 0, 0, Answer), "with the column count");
    const auto rows = Required(SendWithin(list, LVM_GETITEMCOUNT, 0, 0, Answer), "with the row count");
    // A program of the same build: the record's layout is the same on both sides.
    RemoteBuffer remote(ProcessIdOf(m_window), sizeof(LVITEMW) + CellCharacters * sizeof(wchar_t));
    std::vector<std::vector<std::string>> cells(static_cast<size_t>(rows));
    for (int row = 0; row < static_cast<int>(rows); ++row)
    {
        for (int column = 0; column < static_cast<int>(columns); ++column)
        {
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<LPWSTR>(remote.Address() + sizeof item);
            item.cchTextMax = CellCharacters;
            remote.Write(0, &item, sizeof item);
            const auto length =
                Required(SendWithin(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.Address()), Answer),
                         "with a cell");
            std::wstring text(CellCharacters, L'\0');
            remote.Read(sizeof item, &text[0], CellCharacters * sizeof(wchar_t));
            cells[static_cast<size_t>(row)].push_back(Utf8(text.c_str(), static_cast<int>(length)));
        }
    }
    return cells;
}

void StationWindow::Click(int id) const
{
    if (!IsEnabled(id))
    {
        throw AutomationError("control " + std::to_string(id) + " of the station is disabled");
    }
    Required(SendWithin(Control(id), BM_CLICK, 0, 0, Answer), "to a click");
}

void StationWindow::Scan(const std::string& text) const
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(m_window, nullptr), &thread) ||
        thread.hwndFocus != Control(IDC_SCAN))
    {
        throw AutomationError("the serial field does not have the keyboard focus");
    }
    // Posted, in order, as the keyboard's messages come.
    for (const char character : text)
    {
        PostMessageW(thread.hwndFocus, WM_CHAR, static_cast<unsigned char>(character), 1);
    }
    PostMessageW(thread.hwndFocus, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(thread.hwndFocus, WM_KEYUP, VK_RETURN, 0xC0000001);
}

void StationWindow::SendDeviceChange(DeviceEvent event) const
{
    DEV_BROADCAST_DEVICEINTERFACE_A record = MakeDeviceInterfaceRecord(HidInterfaceClass, DBT_DEVTYP_DEVICEINTERFACE);
    Required(
        SendAnsiWithin(m_window, WM_DEVICECHANGE, DeviceEventCode(event), reinterpret_cast<LPARAM>(&record), Answer),
        "to the device notification");
}

void StationWindow::Close() const
{
    PostMessageW(m_window, WM_CLOSE, 0, 0);
}

}  // namespace KelvraAutomation
