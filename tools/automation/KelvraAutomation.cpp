#include "KelvraAutomation.h"

#include <atomic>
#include <thread>

#include "EntryChoice.h"
#include "WindowMessages.h"
#include "resource.h"

namespace KelvraAutomation
{

namespace
{

const std::string MainCaption = "Kelvra";
const std::string OpenCaption = "Open";
// The file name box of the common Open dialog (cmb13).
const int OpenFileNameBox = 0x47c;

// Short enough to notice an end at once, long enough not to flood a busy
// thread with probes that pile up in its queue.
constexpr Milliseconds PollInterval{20};
constexpr Milliseconds Probe{250};

std::string Seconds(Milliseconds duration)
{
    const auto tenths = (duration.count() + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
    {
        text += "." + std::to_string(tenths % 10);
    }
    return text + " s";
}

template <typename T> T RequireAnswer(std::optional<T> answer, const std::string& what)
{
    if (!answer)
    {
        throw AutomationError("Kelvra did not answer " + what + " within " + Seconds(DefaultTimeout::Answer));
    }
    return std::move(*answer);
}

// A combo box's rows and selected row.
template <class List> List ReadComboBox(HWND combo, const std::string& rowsName, const std::string& selectionName)
{
    List list;
    list.entries = RequireAnswer(ReadComboBoxEntries(combo, DefaultTimeout::Answer), "with the " + rowsName);
    list.selected = static_cast<int>(
        RequireAnswer(SendWithin(combo, CB_GETCURSEL, 0, 0, DefaultTimeout::Answer), "with the " + selectionName));
    return list;
}

std::vector<HWND> MainDialogsOf(DWORD processId)
{
    std::vector<HWND> dialogs;
    // A message box may carry Kelvra's caption too; only the main dialog has a message list.
    for (HWND candidate : FindTopLevelDialogs(processId, MainCaption))
    {
        if (GetDlgItem(candidate, IDC_MESSAGES) != nullptr)
        {
            dialogs.push_back(candidate);
        }
    }
    return dialogs;
}

int RadioButtonOf(ChipFamily family)
{
    switch (family)
    {
    case ChipFamily::A:
        return IDC_CHIP_A;
    case ChipFamily::B:
        return IDC_CHIP_B;
    case ChipFamily::C:
        return IDC_CHIP_C;
    }
    return IDC_CHIP_A;
}

// Runs the callbacks of SendMessageCallbackW, which arrive through this
// thread's queue; whatever else waits there is left for its owner.
void DeliverClickCallbacks()
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Clicks sent with a callback are numbered; the callback of a click that
// was given up on may still come later, so it carries no pointer.
std::atomic<ULONG_PTR> LatestClickNumber{0};
std::atomic<ULONG_PTR> LatestHandledClick{0};

void CALLBACK NoteClickHandled(HWND, UINT, ULONG_PTR clickNumber, LRESULT)
{
    ULONG_PTR seen = LatestHandledClick.load();
    while (seen < clickNumber && !LatestHandledClick.compare_exchange_weak(seen, clickNumber))
    {
    }
}

bool IsClickHandled(ULONG_PTR clickNumber)
{
    DeliverClickCallbacks();
    return LatestHandledClick.load() >= clickNumber;
}

// What a click on one of the dialog's buttons sends it.
bool PostDialogCommand(HWND dialog, int buttonId)
{
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId))) != FALSE;
}

std::string LastLineOf(const std::vector<std::string>& lines)
{
    return lines.empty() ? std::string("none") : "\"" + lines.back() + "\"";
}

}  // namespace

KelvraWindow KelvraWindow::Find(DWORD processId, Milliseconds timeout)
{
    std::vector<HWND> dialogs;
    WaitUntil(
        [&]
        {
            dialogs = MainDialogsOf(processId);
            return !dialogs.empty();
        },
        timeout, PollInterval);
    if (dialogs.empty())
    {
        const std::string whose = processId != 0 ? " of process " + std::to_string(processId) : "";
        throw AutomationError("no Kelvra window" + whose + " appeared within " + Seconds(timeout));
    }
    if (dialogs.size() > 1)
    {
        throw AutomationError("more than one Kelvra window is open; name the process");
    }
    return KelvraWindow(dialogs.front());
}

KelvraWindow::KelvraWindow(HWND dialog) : m_dialog(dialog), m_processId(ProcessIdOf(dialog)) {}

void KelvraWindow::WaitUntilReady(Milliseconds timeout) const
{
    const bool ready = WaitUntil(
        [this]
        {
            RequireWindow();
            return IsWindowVisible(m_dialog) && Answers(Probe);
        },
        timeout, PollInterval);
    if (!ready)
    {
        throw AutomationError("Kelvra's window did not become ready within " + Seconds(timeout));
    }
}

bool KelvraWindow::Answers(Milliseconds timeout) const
{
    return KelvraAutomation::Answers(m_dialog, timeout);
}

DeviceList KelvraWindow::Devices() const
{
    return ReadComboBox<DeviceList>(Control(IDC_DEVICE_LIST), "device list", "device selection");
}

void KelvraWindow::ChooseFamily(ChipFamily family) const
{
    const int button = RadioButtonOf(family);
    RequireClickable(button, ChipFamilyName(family));
    Click(button);
    if (CheckedFamily() != family)
    {
        throw AutomationError(std::string(ChipFamilyName(family)) + " did not become checked");
    }
}

std::optional<ChipFamily> KelvraWindow::CheckedFamily() const
{
    for (ChipFamily family : {ChipFamily::A, ChipFamily::B, ChipFamily::C})
    {
        const auto state =
            RequireAnswer(SendWithin(Control(RadioButtonOf(family)), BM_GETCHECK, 0, 0, DefaultTimeout::Answer),
                          "with the state of " + std::string(ChipFamilyName(family)));
        if (state == BST_CHECKED)
        {
            return family;
        }
    }
    return std::nullopt;
}

EepromSizeList KelvraWindow::EepromSizes() const
{
    const HWND combo = Control(IDC_EEPROM_SIZE);
    auto sizes = ReadComboBox<EepromSizeList>(combo, "EEPROM size list", "EEPROM size selection");
    sizes.shown = IsWindowVisible(combo) != FALSE;
    return sizes;
}

void KelvraWindow::ChooseEepromSize(int index) const
{
    const EepromSizeList sizes = EepromSizes();
    if (!sizes.shown)
    {
        throw AutomationError("the EEPROM size list is hidden; it shows for VT-C only");
    }
    if (index < 0 || index >= static_cast<int>(sizes.entries.size()))
    {
        throw AutomationError("no EEPROM size row " + std::to_string(index) + "; the list has " +
                              std::to_string(sizes.entries.size()));
    }
    RequireWindow();
    if (!IsWindowEnabled(m_dialog))
    {
        throw AutomationError("Kelvra's window is disabled; another dialog is open");
    }
    const HWND combo = Control(IDC_EEPROM_SIZE);
    RequireAnswer(SendWithin(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, DefaultTimeout::Answer),
                  "to the EEPROM size choice");
    // A person's choice makes the combo box notify its parent; CB_SETCURSEL does not.
    RequireAnswer(SendWithin(m_dialog, WM_COMMAND, MAKEWPARAM(IDC_EEPROM_SIZE, CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(combo), DefaultTimeout::Answer),
                  "to the EEPROM size notification");
    if (EepromSizes().selected != index)
    {
        throw AutomationError("the EEPROM size row " + std::to_string(index) + " did not stay selected");
    }
}

void KelvraWindow::ChooseEepromSize(const std::string& text) const
{
    const EepromSizeList sizes = EepromSizes();
    const auto index = FindEntry(sizes.entries, text);
    if (!index)
    {
        throw AutomationError("no single EEPROM size matches \"" + text + "\"; the list holds " +
                              QuotedList(sizes.entries));
    }
    ChooseEepromSize(*index);
}

void KelvraWindow::Browse(const std::string& path, Milliseconds timeout) const
{
    ULONG_PTR click = 0;
    const HWND openDialog = PressBrowseAndFindOpenDialog(timeout, click);
    const HWND fileNameBox = GetDlgItem(openDialog, OpenFileNameBox);
    if (fileNameBox == nullptr || !SetWindowTextWithin(fileNameBox, path, DefaultTimeout::Answer))
    {
        // Left open, the dialog would keep Kelvra's window from any further click.
        PostDialogCommand(openDialog, IDCANCEL);
        throw AutomationError("the Open dialog did not take the file name \"" + path + "\"");
    }
    CloseOpenDialog(openDialog, IDOK, click, timeout, "the Open dialog did not accept \"" + path + "\"");
}

void KelvraWindow::CancelBrowse(Milliseconds timeout) const
{
    ULONG_PTR click = 0;
    const HWND openDialog = PressBrowseAndFindOpenDialog(timeout, click);
    CloseOpenDialog(openDialog, IDCANCEL, click, timeout, "the Open dialog did not close on Cancel");
}

std::string KelvraWindow::ImagePath() const
{
    return RequireAnswer(ReadWindowText(Control(IDC_IMAGE_PATH), DefaultTimeout::Answer), "with the image path");
}

std::vector<std::string> KelvraWindow::Messages() const
{
    return RequireAnswer(ReadListBoxLines(Control(IDC_MESSAGES), DefaultTimeout::Answer), "with the message list");
}

bool KelvraWindow::IsWriteEnabled() const
{
    return IsWindowEnabled(Control(IDC_WRITE)) != FALSE;
}

bool KelvraWindow::IsVerifyEnabled() const
{
    return IsWindowEnabled(Control(IDC_VERIFY)) != FALSE;
}

PendingOperation KelvraWindow::StartOperation(OperationKind kind) const
{
    const bool verify = kind == OperationKind::Verify;
    const int button = verify ? IDC_VERIFY : IDC_WRITE;
    RequireClickable(button, verify ? "Verify" : "Write");
    const bool marked = MarkMessageList();
    Click(button);
    return PendingOperation{kind, marked};
}

OperationResult KelvraWindow::WaitForOperationEnd(const PendingOperation& pending, Milliseconds timeout) const
{
    const Deadline deadline(timeout);
    bool started = false;
    std::vector<std::string> lastLines;
    while (!deadline.Passed())
    {
        RequireWindow();
        // A disabled Write or Verify button means an operation holds
        // Kelvra's thread; probing it then would only queue messages.
        if (IsOperationRunning())
        {
            started = true;
        }
        else
        {
            if (!started)
            {
                started = HasOperationStarted(pending).value_or(false);
            }
            if (started)
            {
                if (auto lines = ReadListBoxLines(Control(IDC_MESSAGES), Probe))
                {
                    if (auto finalLine = FinalLineOf(pending.kind, *lines))
                    {
                        return OperationResult{*finalLine, *lines};
                    }
                    lastLines = std::move(*lines);
                }
            }
        }
        std::this_thread::sleep_for(std::min(PollInterval, deadline.Remaining()));
    }
    const std::string name = OperationName(pending.kind);
    if (!started)
    {
        throw AutomationError("the " + name + " did not start within " + Seconds(timeout));
    }
    throw AutomationError("the " + name + " did not end within " + Seconds(timeout) +
                          " (last line: " + LastLineOf(lastLines) + ")");
}

OperationResult KelvraWindow::RunOperation(OperationKind kind, Milliseconds timeout) const
{
    const PendingOperation pending = StartOperation(kind);
    return WaitForOperationEnd(pending, timeout);
}

void KelvraWindow::SendDeviceChange(DeviceEvent event, const GUID& interfaceClass, DWORD deviceType) const
{
    RequireWindow();
    DEV_BROADCAST_DEVICEINTERFACE_A record = MakeDeviceInterfaceRecord(interfaceClass, deviceType);
    // Windows copies the record into Kelvra's process by its dbcc_size.
    RequireAnswer(SendAnsiWithin(m_dialog, WM_DEVICECHANGE, DeviceEventCode(event), reinterpret_cast<LPARAM>(&record),
                                 DefaultTimeout::Answer),
                  "to the device notification");
}

void KelvraWindow::PressExit() const
{
    RequireClickable(IDCANCEL, "Exit");
    // Posted: Kelvra may end before it could answer a sent click.
    if (!PostMessageW(Control(IDCANCEL), BM_CLICK, 0, 0))
    {
        throw AutomationError("could not click \"Exit\"");
    }
}

void KelvraWindow::WaitUntilClosed(HANDLE process, Milliseconds timeout) const
{
    bool closed = false;
    if (process != nullptr)
    {
        closed = WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
    }
    else
    {
        closed = WaitUntil([this] { return !IsWindow(m_dialog); }, timeout, PollInterval);
    }
    if (!closed)
    {
        throw AutomationError(std::string(process != nullptr ? "Kelvra's process" : "Kelvra's window") +
                              " did not end within " + Seconds(timeout));
    }
}

HWND KelvraWindow::Control(int id) const
{
    RequireWindow();
    const HWND control = GetDlgItem(m_dialog, id);
    if (control == nullptr)
    {
        throw AutomationError("Kelvra's window has no control " + std::to_string(id));
    }
    return control;
}

void KelvraWindow::RequireWindow() const
{
    if (!IsWindow(m_dialog))
    {
        throw AutomationError("Kelvra's window is gone");
    }
}

void KelvraWindow::RequireClickable(int buttonId, const char* caption) const
{
    RequireWindow();
    // While the Open dialog is up Kelvra's window takes no clicks, and neither should we.
    if (!IsWindowEnabled(m_dialog))
    {
        throw AutomationError("Kelvra's window is disabled; another dialog is open");
    }
    if (!IsWindowEnabled(Control(buttonId)))
    {
        throw AutomationError(std::string("the \"") + caption + "\" button is disabled");
    }
}

void KelvraWindow::Click(int buttonId) const
{
    RequireAnswer(SendWithin(Control(buttonId), BM_CLICK, 0, 0, DefaultTimeout::Answer),
                  "to a click of control " + std::to_string(buttonId));
}

bool KelvraWindow::MarkMessageList() const
{
    // Kelvra empties the list when the operation starts, and the new lines
    // may read just like the old ones; a selected line is how the emptying
    // shows. Selecting a line is what a person's click on it does.
    const HWND list = Control(IDC_MESSAGES);
    const auto count =
        RequireAnswer(SendWithin(list, LB_GETCOUNT, 0, 0, DefaultTimeout::Answer), "with the message count");
    if (count <= 0)
    {
        return false;
    }
    const WPARAM lastLine = static_cast<WPARAM>(count - 1);
    RequireAnswer(SendWithin(list, LB_SETCURSEL, lastLine, 0, DefaultTimeout::Answer), "to a line selection");
    const auto selected =
        RequireAnswer(SendWithin(list, LB_GETCURSEL, 0, 0, DefaultTimeout::Answer), "with the line selection");
    if (selected != static_cast<LRESULT>(lastLine))
    {
        throw AutomationError("could not select the last line of the message list");
    }
    return true;
}

std::optional<bool> KelvraWindow::HasOperationStarted(const PendingOperation& pending) const
{
    const HWND list = Control(IDC_MESSAGES);
    if (pending.listWasMarked)
    {
        const auto selected = SendWithin(list, LB_GETCURSEL, 0, 0, Probe);
        if (!selected)
        {
            return std::nullopt;
        }
        return *selected == LB_ERR;
    }
    // The list was empty, and every operation adds at least one line.
    const auto count = SendWithin(list, LB_GETCOUNT, 0, 0, Probe);
    if (!count)
    {
        return std::nullopt;
    }
    return *count > 0;
}

bool KelvraWindow::IsOperationRunning() const
{
    return !IsWriteEnabled() || !IsVerifyEnabled();
}

HWND KelvraWindow::PressBrowseAndFindOpenDialog(Milliseconds timeout, ULONG_PTR& click) const
{
    RequireClickable(IDC_BROWSE, "...");
    if (!FindTopLevelDialogs(m_processId, OpenCaption).empty())
    {
        throw AutomationError("an Open dialog of Kelvra is already showing");
    }
    // Not a plain send: the click returns only when the Open dialog closes.
    // The callback tells when Kelvra's handler, path update included, is done.
    click = ++LatestClickNumber;
    if (!SendMessageCallbackW(Control(IDC_BROWSE), BM_CLICK, 0, 0, NoteClickHandled, click))
    {
        throw AutomationError("could not click \"...\"");
    }
    HWND openDialog = nullptr;
    const bool ready = WaitUntil(
        [&]
        {
            DeliverClickCallbacks();
            const auto dialogs = FindTopLevelDialogs(m_processId, OpenCaption);
            openDialog = dialogs.empty() ? nullptr : dialogs.front();
            return openDialog != nullptr && KelvraAutomation::Answers(openDialog, Probe);
        },
        timeout, PollInterval);
    if (!ready)
    {
        throw AutomationError("no Open dialog appeared within " + Seconds(timeout));
    }
    return openDialog;
}

void KelvraWindow::CloseOpenDialog(HWND openDialog, int buttonId, ULONG_PTR click, Milliseconds timeout,
                                   const std::string& failure) const
{
    // Posted, as a person's click would be: the dialog may answer with a message box of its own.
    if (!PostDialogCommand(openDialog, buttonId))
    {
        throw AutomationError(failure);
    }
    const bool closed = WaitUntil([click] { return IsClickHandled(click); }, timeout, PollInterval);
    if (closed)
    {
        return;
    }
    // A folder name opens the folder instead; cancel so Kelvra takes clicks again.
    if (buttonId != IDCANCEL && PostDialogCommand(openDialog, IDCANCEL) &&
        WaitUntil([click] { return IsClickHandled(click); }, DefaultTimeout::Answer, PollInterval))
    {
        throw AutomationError(failure + " within " + Seconds(timeout) + "; cancelled it");
    }
    throw AutomationError(failure + " within " + Seconds(timeout));
}

}  // namespace KelvraAutomation
