// One command's work on one device: the same cross-process lock on it that
// Kelvra takes, the hidden window the driver libraries are given, and
// transfers that draw a progress bar, stop at Ctrl+C between words, and end
// in a failure that says what happened and what to do.
#pragma once

#include "Console.h"
#include "DeviceLock.h"
#include "DriverLibrary.h"
#include "ExitStatus.h"
#include "HidEnumeration.h"
#include "HiddenWindow.h"

class ChipSession
{
public:
    // progressBar: draw one on stderr during VT-A transfers.
    ChipSession(DeviceKey device, Console& console, bool progressBar);

    // Takes the device lock, held until the session ends; the device is busy
    // while another program holds it.
    Outcome Begin();
    // size bytes between buffer and the chip.
    Outcome Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size);

private:
    static void ShowProgress(void* session, UINT wordsDone, UINT wordCount);

    DeviceKey m_device;
    ProgressBar m_bar;
    bool m_progressBar;
    const char* m_verb = "";
    const std::atomic<bool>* m_stop;
    HiddenWindow m_window;
    DeviceLock m_lock;
};
