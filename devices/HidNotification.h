// Device-interface notifications of the HID class, which keep the device list current.
#pragma once

#include "HidPlatform.h"

// Non-zero registerFlag: registers window for arrivals and removals of
// classGuid interfaces, stores the handle in *slot and returns 1 (0 when the
// registration failed, leaving *slot null). Zero: withdraws the handle in
// *slot, if any, sets it to null and returns 1.
int RegisterHidNotification(int registerFlag, HWND window, HDEVNOTIFY* slot, GUID classGuid,
                            HidPlatform& platform = WindowsHidPlatform::Instance());

// True for a WM_DEVICECHANGE that reports the arrival or removal of a device
// interface of classGuid.
bool IsHidInterfaceChange(UINT message, WPARAM wParam, LPARAM lParam, const GUID& classGuid);
