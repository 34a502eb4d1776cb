// Ctrl+C and Ctrl+Break never cut a transfer short in the middle of a word:
// they set a flag that the transfer looks at between words, so the close call
// always follows the open. Closing the console waits for that close too.
#pragma once

#include <windows.h>

#include <atomic>

#include "ChipSession.h"

void CatchInterrupts();

// Set once Ctrl+C or Ctrl+Break was pressed, or the console is closing.
const std::atomic<bool>& InterruptRequested();
// Set only when the console is closing or Windows is ending the session:
// then even a unit of the production line cannot be finished.
const std::atomic<bool>& ConsoleClosing();
// Signalled together with InterruptRequested, so a wait can wake for it.
HANDLE InterruptEvent();

// What Ctrl+C does; closing: what closing the console does.
void RequestInterrupt(bool closing = false);
// Forgets an interrupt, as a new run of the program starts without one.
void ClearInterrupt();

// Marks a transfer as running while it lives, so a closing console waits for
// the transfer to end before the process is ended.
class RunningTransfer
{
public:
    RunningTransfer();
    ~RunningTransfer();
    RunningTransfer(const RunningTransfer&) = delete;
    RunningTransfer& operator=(const RunningTransfer&) = delete;
};

// The library transfer, marked as running while it lasts.
TransferOutcome MarkedTransfer(const TransferRequest& request, const TransferHooks& hooks);
