#include "CliSession.h"

#include "DeviceChoice.h"
#include "Interrupt.h"
#include "Joined.h"

namespace
{
const wchar_t* const WindowClass = L"KelvraCliLibraryWindow";

ExitStatus StatusOf(TransferStatus status)
{
    switch (status)
    {
    case TransferStatus::Done:
        return ExitStatus::Success;
    case TransferStatus::LibraryMissing:
    case TransferStatus::ExportMissing:
        return ExitStatus::DriverLibrary;
    case TransferStatus::OpenFailed:
        return ExitStatus::DeviceNotOpened;
    case TransferStatus::WordFailed:
    case TransferStatus::BurnFailed:
        return ExitStatus::TransferFailed;
    case TransferStatus::Interrupted:
        return ExitStatus::Interrupted;
    }
    return ExitStatus::Unexpected;
}

Outcome InterruptedBefore()
{
    return Failure(ExitStatus::Interrupted, "interrupted before the next transfer; the device is closed.");
}

SessionSetup SetupFor(DeviceKey device, HWND window, TransferProgress* progress)
{
    SessionSetup setup;
    setup.device = device;
    setup.window = window;
    setup.progress = progress;
    setup.interrupt = &InterruptRequested();
    setup.transfer = MarkedTransfer;
    return setup;
}
}  // namespace

CliSession::CliSession(DeviceKey device, Console& console, bool progressBar)
    : m_device(device), m_bar(console), m_window(WindowClass, DefWindowProcW, L"kelvra-cli"),
      m_session(SetupFor(device, m_window.Handle(), progressBar ? this : nullptr))
{
}

Outcome CliSession::Begin()
{
    if (m_window.Handle() == nullptr)
    {
        return Failure(ExitStatus::Unexpected, "cannot create the window the driver libraries need");
    }
    if (!m_session.Lock())
    {
        return Failure(ExitStatus::DeviceBusy,
                       Joined({DeviceName(m_device), " is busy: another Kelvra program is writing or "
                                                     "verifying it. Try again once it has finished."}));
    }
    return {};
}

Outcome CliSession::Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size)
{
    if (InterruptRequested())
    {
        return InterruptedBefore();
    }
    return Ended(m_session.Transfer(family, direction, buffer, size), family, direction, size);
}

Outcome CliSession::ReadBack(ChipFamily family, const std::vector<BYTE>& image, Comparison& comparison)
{
    if (InterruptRequested())
    {
        return InterruptedBefore();
    }
    return Ended(m_session.ReadBack(family, image, comparison), family, TransferDirection::EepromToBuffer,
                 static_cast<UINT>(image.size()));
}

Outcome CliSession::Ended(const TransferOutcome& outcome, ChipFamily family, TransferDirection direction, UINT size)
{
    m_bar.Clear();
    return Failure(StatusOf(outcome.status),
                   TransferEndText(outcome, family, direction, DeviceName(m_device), size, "kelvra-cli.exe"));
}

void CliSession::Progress(TransferDirection direction, UINT wordsDone, UINT wordCount)
{
    m_bar.Show(direction == TransferDirection::BufferToEeprom ? "writing" : "reading", wordsDone, wordCount);
}
