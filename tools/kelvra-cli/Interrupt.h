// Ctrl+C and Ctrl+Break never cut a transfer short in the middle of a word:
// they set a flag that the transfer looks at between words, so the close call
// always follows the open. Closing the console waits for that close too.
#pragma once

#include <atomic>

void CatchInterrupts();

// Set once Ctrl+C or Ctrl+Break was pressed, or the console is closing.
const std::atomic<bool>& InterruptRequested();

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
