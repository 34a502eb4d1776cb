#include "ChipSession.h"

#include "DeviceChoice.h"
#include "Interrupt.h"

namespace
{
const wchar_t* const WindowClass = L"KelvraCliLibraryWindow";
const UINT ProgressBarWidth = 32;

std::string WordsText(UINT words, UINT wordCount)
{
    return "word " + std::to_string(words) + " of " + std::to_string(wordCount);
}

Outcome Explain(const TransferOutcome& outcome, const ChipFamilyTraits& traits, TransferDirection direction,
                DeviceKey device, UINT size)
{
    const bool writing = direction == TransferDirection::BufferToEeprom;
    const std::string library = traits.libraryName;
    const std::string afterFailure =
        writing ? " The chip may now hold part of the image: write it again." : " Nothing was compared or saved.";
    switch (outcome.status)
    {
    case TransferStatus::Done:
        return {};
    case TransferStatus::LibraryMissing:
        return Failure(ExitStatus::DriverLibrary,
                       library + " did not load. Put the chip vendor's " + library +
                           " beside kelvra-cli.exe or in a folder on PATH; the current folder is not searched.");
    case TransferStatus::ExportMissing:
        return Failure(ExitStatus::DriverLibrary, library + " lacks the export " + outcome.missingExport +
                                                      ", so it is not a " + traits.name +
                                                      " driver library; nothing was called. Use the chip vendor's.");
    case TransferStatus::OpenFailed:
        return Failure(ExitStatus::DeviceNotOpened,
                       std::string(traits.name) + " device " + DeviceName(device) + " did not open through " + library +
                           ". Check that it is plugged in and that its chip is a " + traits.name + " chip.");
    case TransferStatus::WordFailed:
        return Failure(ExitStatus::TransferFailed, std::string(writing ? "writing" : "reading") + " failed at " +
                                                       WordsText(outcome.wordsDone, size / 2) +
                                                       "; the device was closed." + afterFailure);
    case TransferStatus::BurnFailed:
        return Failure(ExitStatus::TransferFailed,
                       std::string(writing ? "writing " : "reading ") + std::to_string(size) +
                           " bytes failed (rmBurnEEPROM); the device was closed." + afterFailure);
    case TransferStatus::Interrupted:
        return Failure(ExitStatus::Interrupted, "interrupted after " + std::to_string(outcome.wordsDone) + " of " +
                                                    std::to_string(size / 2) + " words; the device was closed." +
                                                    afterFailure);
    }
    return Failure(ExitStatus::Unexpected, "the transfer ended in an unknown way");
}
}  // namespace

ChipSession::ChipSession(DeviceKey device, Console& console, bool progressBar)
    : m_device(device), m_console(console), m_progressBar(progressBar), m_stop(&InterruptRequested()),
      m_window(WindowClass, DefWindowProcW, L"kelvra-cli")
{
}

void ChipSession::FinishDespiteCtrlC()
{
    m_stop = &ConsoleClosing();
}

Outcome ChipSession::Begin()
{
    if (m_window.Handle() == nullptr)
    {
        return Failure(ExitStatus::Unexpected, "cannot create the window the driver libraries need");
    }
    if (!m_lock.TryAcquire(m_device))
    {
        return Failure(ExitStatus::DeviceBusy, DeviceName(m_device) + " is busy: another Kelvra program is writing or "
                                                                      "verifying it. Try again once it has finished.");
    }
    return {};
}

Outcome ChipSession::Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size)
{
    const ChipFamilyTraits& traits = TraitsOf(family);
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
    if (m_barShown)
    {
        ClearProgress();
    }
    return Explain(outcome, traits, direction, m_device, size);
}

void ChipSession::ShowProgress(void* session, UINT wordsDone, UINT wordCount)
{
    auto& self = *static_cast<ChipSession*>(session);
    self.m_barShown = true;
    const UINT filled = wordCount == 0 ? 0 : wordsDone * ProgressBarWidth / wordCount;
    self.m_console.Err("\r" + std::string(self.m_verb) + " [" + std::string(filled, '#') +
                       std::string(ProgressBarWidth - filled, '.') + "] " + std::to_string(wordsDone) + "/" +
                       std::to_string(wordCount) + " words");
}

void ChipSession::ClearProgress()
{
    m_console.Err("\r" + std::string(ProgressBarWidth + 24, ' ') + "\r");
    m_barShown = false;
}
