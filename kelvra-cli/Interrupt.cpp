#include "Interrupt.h"

namespace
{
// A console control handler runs on a thread of its own and can reach the
// program only through state like this.
std::atomic<bool> interruptRequested(false);
std::atomic<bool> consoleClosing(false);
HANDLE noTransferRunning = nullptr;
// Made with the process rather than at first use: a first-use static would
// bring the runtime's thread-safe guard, and its thread library, along.
const HANDLE interruptEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

// Windows ends the process once the handler of a closing console returns,
// and at the latest after 5 s; a VT-A transfer ends at its next word in 40 ms.
const DWORD CloseWaitMilliseconds = 4000;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    const bool closing = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
    RequestInterrupt(closing);
    if (closing && noTransferRunning != nullptr)
    {
        WaitForSingleObject(noTransferRunning, CloseWaitMilliseconds);
    }
    return TRUE;
}
}  // namespace

void CatchInterrupts()
{
    InterruptEvent();
    noTransferRunning = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

const std::atomic<bool>& InterruptRequested()
{
    return interruptRequested;
}

const std::atomic<bool>& ConsoleClosing()
{
    return consoleClosing;
}

HANDLE InterruptEvent()
{
    return interruptEvent;
}

void RequestInterrupt(bool closing)
{
    if (closing)
    {
        consoleClosing = true;
    }
    interruptRequested = true;
    SetEvent(InterruptEvent());
}

void ClearInterrupt()
{
    interruptRequested = false;
    consoleClosing = false;
    ResetEvent(InterruptEvent());
}

RunningTransfer::RunningTransfer()
{
    if (noTransferRunning != nullptr)
    {
        ResetEvent(noTransferRunning);
    }
}

RunningTransfer::~RunningTransfer()
{
    if (noTransferRunning != nullptr)
    {
        SetEvent(noTransferRunning);
    }
}

TransferOutcome MarkedTransfer(const TransferRequest& request, const TransferHooks& hooks)
{
    RunningTransfer running;
    return LibraryTransfer(request, hooks);
}
