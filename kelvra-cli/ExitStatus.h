// What kelvra-cli's exit status tells a script, and the failure that ends a
// command: a status and a message that says what went wrong and what to do.
#pragma once

#include <string>
#include <utility>

enum class ExitStatus
{
    Success = 0,
    Unexpected = 1,
    Usage = 2,
    NoDevice = 3,
    DriverLibrary = 4,
    DeviceNotOpened = 5,
    TransferFailed = 6,
    VerifyDiffers = 7,
    FileError = 8,
    DeviceBusy = 9,
    Interrupted = 10,
    LedgerRefused = 11,
    LedgerUnreachable = 12,
    LedgerLostBeforeUnit = 13,
    ResultNotLogged = 14,
};

struct Outcome
{
    ExitStatus status = ExitStatus::Success;
    std::string message;

    bool Succeeded() const { return status == ExitStatus::Success; }
};

inline Outcome Failure(ExitStatus status, std::string message)
{
    return {status, std::move(message)};
}
