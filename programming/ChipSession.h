// One program's work on one device, without a dialog: the cross-process
// device lock, transfers through the family's driver library, and the
// compare of what the chip holds with the image. The image itself is read
// by ReadImage (ImageFile.h), the rule every program keeps. Progress is told
// through TransferProgress, and an interrupt is a flag the program owns.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "Comparison.h"
#include "DeviceLock.h"
#include "DriverLibrary.h"

// The whole transfer through the family's driver library; a program may wrap
// it, e.g. to be told while a transfer runs.
using UnitTransfer = TransferOutcome (*)(const TransferRequest& request, const TransferHooks& hooks);
TransferOutcome LibraryTransfer(const TransferRequest& request, const TransferHooks& hooks);

class TransferProgress
{
public:
    virtual ~TransferProgress() = default;

    // wordsDone of wordCount moved (VT-A, word by word).
    virtual void Progress(TransferDirection direction, UINT wordsDone, UINT wordCount) = 0;
};

struct SessionSetup
{
    DWORD device = 0;       // the DeviceKey
    HWND window = nullptr;  // handed to the library's open
    TransferProgress* progress = nullptr;
    // Set to end before the next transfer, or a VT-A one before its next word.
    const std::atomic<bool>* interrupt = nullptr;
    UnitTransfer transfer = LibraryTransfer;
    // How long, in milliseconds, a refused open is tried again; 0: once.
    DWORD openRetryWindow = 0;
};

class ChipSession
{
public:
    explicit ChipSession(const SessionSetup& setup) : m_setup(setup) {}
    ChipSession(const ChipSession&) = delete;
    ChipSession& operator=(const ChipSession&) = delete;

    // Holds the device's lock until Unlock or the session's end; false while
    // another holder has it.
    bool Lock();
    void Unlock();

    // size bytes between buffer and the chip.
    TransferOutcome Transfer(ChipFamily family, TransferDirection direction, BYTE* buffer, UINT size);
    // Reads image.size() bytes back and compares them with image; comparison
    // is left empty unless the read was done.
    TransferOutcome ReadBack(ChipFamily family, const std::vector<BYTE>& image, Comparison& comparison);

private:
    static void OnProgress(void* session, UINT wordsDone, UINT wordCount);

    SessionSetup m_setup;
    DeviceLock m_lock;
    bool m_locked = false;
    TransferDirection m_direction = TransferDirection::EepromToBuffer;
};
