// Which attached device a command works on: the identifiers from --device or
// from Kelvra.ini, and the one HID interface that carries them.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "Console.h"
#include "HidEnumeration.h"

// --device, else VID and PID of Kelvra.ini in the current folder read as
// Kelvra reads them, with a warning for each value Kelvra would misread.
Outcome ChooseIdentifiers(const Options& options, Console& console, DeviceIds& ids);

DeviceKey KeyOf(const DeviceIds& ids);
std::string DeviceName(DeviceKey key);

// The one attached interface with ids. None, or several (which the libraries
// cannot tell apart, being given only the identifiers), is a failure.
Outcome FindDevice(const DeviceIds& ids, HidPlatform& platform, DeviceKey& key);
