// Finding the attached HID devices and reading the configured identifiers.
#pragma once

#include <string>
#include <vector>

#include "HidPlatform.h"

// A device's (VendorID << 16) | ProductID.
typedef DWORD DeviceKey;

// With capacity 0: counts the present HID interfaces whose attributes can be
// read, and leaves keys alone. Otherwise stores up to capacity DeviceKeys
// from keys[0] on and returns how many it stored; it stops at the first
// device that does not fit.
LONG EnumerateHidDevices(DWORD capacity, DeviceKey* keys, HidPlatform& platform = WindowsHidPlatform::Instance());

// "VID_%04x&PID_%04x": a device as the device list shows it.
void FormatDeviceName(DeviceKey key, char (&name)[18]);

// The first four characters of text as hexadecimal digits, case ignored;
// any other character adds nothing but keeps its place.
WORD ParseHexId(const char* text);

// A device as a person types it, "VID:PID" with each 1 to 4 hexadecimal
// digits (845e:0001); false for anything else. Unlike ParseHexId, which reads
// the settings file as Kelvra always has, nothing is skipped or cut.
bool ParseDeviceText(const std::string& text, DeviceKey& key);

// Every attached HID interface whose attributes can be read, in the order the
// platform gives them.
std::vector<DeviceKey> AttachedDevices(HidPlatform& platform);

// How many attached interfaces carry key.
size_t CountAttached(DeviceKey key, HidPlatform& platform = WindowsHidPlatform::Instance());
