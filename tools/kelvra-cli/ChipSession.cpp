#include "ChipSession.h"

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
}  // namespace

ChipSession::ChipSession(DeviceKey device, Console& console, bool progressBar)
    : m_device(device), m_bar(console), m_progressBar(progressBar), m_stop(&InterruptRequested()),
      m_window(WindowClass, DefWindowProcW, L"kelvra-cli")
{
}

Outcome ChipSession::Begin()
{
    if (m_window.Handle() == nullptr)
    {
        return Failure(ExitStatus::Unexpected, "cannot create the window the driver libraries need");
    }
    if (!m_lock.TryAcquire(m_device))
    {
        return Failure(ExitStatus::DeviceBusy,
                       Joined({DeviceName(m_device), " is busy: another Kelvra program is writing or "
                                                     "verifying it. Try again once it has finished."}));
    }
    return {};
}

Outcome ChipSession::Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size)
{
    if (*m_stop)
    {
        return Failure(ExitStatus::Interrupted, "interrupted before the next transfer; the device is closed.");
    }
    TransferHooks hooks;
    hooks.cancel = m_stop;
    if (m_progressBar)
    {
        hooks.progress = ShowProgress;
        hooks.context = this;
    }
    m_verb = direction == TransferDirection::BufferToEeprom ? "writing" : "reading";
    HMODULE library = nullptr;
    TransferOutcome outcome;
    {
        RunningTransfer running;
        const TransferRequest request = {family, direction, m_device, m_window.Handle(), buffer, size};
        outcome = TransferThroughLibrary(request, library, hooks);
    }
    m_bar.Clear();
    return Failure(StatusOf(outcome.status),
                   TransferEndText(outcome, family, direction, DeviceName(m_device), size, "kelvra-cli.exe"));
}

void ChipSession::ShowProgress(void* session, UINT wordsDone, UINT wordCount)
{
    auto& self = *static_cast<ChipSession*>(session);
    self.m_bar.Show(self.m_verb, wordsDone, wordCount);
}
