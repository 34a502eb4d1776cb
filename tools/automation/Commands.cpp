#include "Commands.h"

#include <ostream>

namespace KelvraAutomation
{

namespace
{

Milliseconds TimeoutOr(const Step& step, Milliseconds fallback)
{
    return step.timeout.count() > 0 ? step.timeout : fallback;
}

// Closes a process handle on every path out of Exit.
class ProcessHandle
{
public:
    explicit ProcessHandle(DWORD processId) : m_handle(OpenProcess(SYNCHRONIZE, FALSE, processId)) {}
    ~ProcessHandle()
    {
        if (m_handle != nullptr)
        {
            CloseHandle(m_handle);
        }
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

}  // namespace

StepRunner::StepRunner(DWORD processId, std::ostream& out) : m_processId(processId), m_out(out) {}

void StepRunner::Run(const Step& step)
{
    switch (step.command)
    {
    case Command::WaitReady:
        WaitReady(step);
        break;
    case Command::Devices:
        PrintDevices();
        break;
    case Command::Family:
        Window().ChooseFamily(step.family);
        break;
    case Command::Size:
        ChooseSize(step);
        break;
    case Command::Browse:
        Window().Browse(step.text);
        break;
    case Command::BrowseCancel:
        Window().CancelBrowse();
        break;
    case Command::Path:
        m_out << Window().ImagePath() << '\n';
        break;
    case Command::Write:
    case Command::Verify:
        RunOperation(step);
        break;
    case Command::Messages:
        PrintMessages();
        break;
    case Command::Buttons:
        PrintButtons();
        break;
    case Command::DeviceChange:
        SendDeviceChange(step);
        break;
    case Command::Exit:
        Exit(step);
        break;
    }
    m_out.flush();
}

const KelvraWindow& StepRunner::Window()
{
    if (!m_window || !IsWindow(m_window->Handle()))
    {
        m_window = KelvraWindow::Find(m_processId);
        m_window->WaitUntilReady();
    }
    return *m_window;
}

void StepRunner::WaitReady(const Step& step)
{
    const Deadline deadline(TimeoutOr(step, DefaultTimeout::Window));
    m_window = KelvraWindow::Find(m_processId, deadline.Remaining());
    m_window->WaitUntilReady(deadline.Remaining());
}

void StepRunner::PrintDevices()
{
    const DeviceList devices = Window().Devices();
    for (size_t index = 0; index < devices.entries.size(); ++index)
    {
        m_out << (static_cast<int>(index) == devices.selected ? "* " : "  ") << devices.entries[index] << '\n';
    }
}

void StepRunner::ChooseSize(const Step& step)
{
    if (step.sizeIndex >= 0)
    {
        Window().ChooseEepromSize(step.sizeIndex);
    }
    else
    {
        Window().ChooseEepromSize(step.text);
    }
}

void StepRunner::RunOperation(const Step& step)
{
    OperationKind kind = OperationKind::Verify;
    if (step.command == Command::Write)
    {
        kind = step.autoVerify ? OperationKind::WriteThenVerify : OperationKind::Write;
    }
    const OperationResult result = Window().RunOperation(kind, TimeoutOr(step, DefaultTimeout::Operation));
    m_out << result.finalLine << '\n';
}

void StepRunner::PrintMessages()
{
    for (const auto& line : Window().Messages())
    {
        m_out << line << '\n';
    }
}

void StepRunner::PrintButtons()
{
    const KelvraWindow& window = Window();
    m_out << "Write: " << (window.IsWriteEnabled() ? "enabled" : "disabled") << '\n';
    m_out << "Verify: " << (window.IsVerifyEnabled() ? "enabled" : "disabled") << '\n';
}

void StepRunner::SendDeviceChange(const Step& step)
{
    switch (step.notification)
    {
    case NotificationKind::Hid:
        Window().SendDeviceChange(step.event, HidInterfaceClass);
        break;
    case NotificationKind::OtherClass:
        Window().SendDeviceChange(step.event, UsbDeviceInterfaceClass);
        break;
    case NotificationKind::OtherType:
        Window().SendDeviceChange(step.event, HidInterfaceClass, DBT_DEVTYP_VOLUME);
        break;
    }
}

void StepRunner::Exit(const Step& step)
{
    const KelvraWindow& window = Window();
    // Opened before the click: afterwards the process id may be gone or reused.
    const ProcessHandle process(window.ProcessId());
    window.PressExit();
    window.WaitUntilClosed(process.Get(), TimeoutOr(step, DefaultTimeout::Exit));
    m_window.reset();
}

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    Invocation invocation;
    try
    {
        invocation = ParseInvocation(arguments);
    }
    catch (const UsageError& error)
    {
        err << "kelvra-automation: " << error.what() << " (see --help)" << std::endl;
        return 1;
    }
    if (invocation.help)
    {
        out << UsageText();
        return 0;
    }
    StepRunner runner(invocation.processId, out);
    for (const Step& step : invocation.steps)
    {
        try
        {
            runner.Run(step);
        }
        catch (const std::exception& error)
        {
            out.flush();
            err << "kelvra-automation: " << step.name << ": " << error.what() << std::endl;
            return 1;
        }
    }
    return 0;
}

}  // namespace KelvraAutomation
