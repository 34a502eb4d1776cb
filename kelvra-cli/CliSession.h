// One command's work on one device: the shared chip session, given the
// hidden window the driver libraries need, a progress bar on stderr, and
// Ctrl+C as its interrupt; each end told as kelvra-cli's exit status and a
// message that says what happened and what to do.
#pragma once

#include "ChipSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "HidEnumeration.h"
#include "HiddenWindow.h"

class CliSession final : private TransferProgress
{
public:
    // progressBar: draw one on stderr during VT-A transfers.
    CliSession(DeviceKey device, Console& console, bool progressBar);

    // Takes the device lock, held until the session ends; the device is busy
    // while another program holds it.
    Outcome Begin();
    // size bytes between buffer and the chip.
    Outcome Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size);
    // Reads the chip back and compares it with image.
    Outcome ReadBack(ChipFamily family, const std::vector<BYTE>& image, Comparison& comparison);

private:
    void Progress(TransferDirection direction, UINT wordsDone, UINT wordCount) override;
    Outcome Ended(const TransferOutcome& outcome, ChipFamily family, TransferDirection direction, UINT size);

    DeviceKey m_device;
    ProgressBar m_bar;
    HiddenWindow m_window;
    ChipSession m_session;
};
