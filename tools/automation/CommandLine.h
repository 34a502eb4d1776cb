// The steps a script asks for in one call of kelvra-automation, checked as a
// whole before any of them runs, so a typo does not leave Kelvra half-driven.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "AutomationError.h"
#include "Deadline.h"
#include "DeviceBroadcast.h"
#include "KelvraAutomation.h"

namespace KelvraAutomation
{

class UsageError : public AutomationError
{
public:
    explicit UsageError(const std::string& message) : AutomationError(message) {}
};

enum class Command
{
    WaitReady,
    Devices,
    Family,
    Size,
    Browse,
    BrowseCancel,
    Path,
    Write,
    Verify,
    Messages,
    Buttons,
    DeviceChange,
    Exit,
};

// Which notification device-change sends: a HID interface, as Kelvra
// registered for, or one that differs from it in class or in device type.
enum class NotificationKind
{
    Hid,
    OtherClass,
    OtherType
};

struct Step
{
    Command command = Command::Messages;
    std::string name;    // as typed, for error lines
    std::string text;    // browse: the path; size: the row text
    int sizeIndex = -1;  // size: the row, or -1 when chosen by text
    ChipFamily family = ChipFamily::A;
    bool autoVerify = false;
    Milliseconds timeout{0};  // 0: the command's default
    DeviceEvent event = DeviceEvent::Arrival;
    NotificationKind notification = NotificationKind::Hid;
};

struct Invocation
{
    DWORD processId = 0;  // 0: the only Kelvra window there is
    bool help = false;
    std::vector<Step> steps;
};

// Throws UsageError naming the first thing that is wrong.
Invocation ParseInvocation(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace KelvraAutomation
