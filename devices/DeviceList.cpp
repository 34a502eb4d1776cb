// The device list: one entry per attached HID interface whose identifiers
// match the settings, with its DeviceKey as item data.
#include <cstdint>

#include "HidEnumeration.h"
#include "HidNotification.h"
#include "KelvraDlg.h"

namespace
{
bool MatchesSettings(DeviceKey key, const CString& vidText, const CString& pidText)
{
    // The product is compared only once the vendor matched.
    if (ParseHexId(vidText) != static_cast<WORD>(key >> 16))
    {
        return false;
    }
    return ParseHexId(pidText) == static_cast<WORD>(key & 0xFFFF);
}
}  // namespace

void CKelvraDlg::RefreshDeviceList()
{
    UpdateData(FALSE);
    DeviceCombo.ResetContent();
    MessageList.ResetContent();

    HidPlatform& platform = *DevicePlatform;
    const LONG counted = EnumerateHidDevices(0, nullptr, platform);
    const DWORD capacity = counted > 0 ? static_cast<DWORD>(counted) : 0;
    if (capacity > SIZE_MAX / sizeof(DeviceKey))
    {
        return;
    }
    auto* keys = static_cast<DeviceKey*>(platform.Allocate(capacity * sizeof(DeviceKey)));
    // Without the array there is nothing to fill: the list stays empty.
    if (keys == nullptr && capacity > 0)
    {
        return;
    }

    const LONG filled = EnumerateHidDevices(capacity, keys, platform);
    const DWORD walked = capacity == 0 || filled <= 0
                             ? 0
                             : (static_cast<DWORD>(filled) < capacity ? static_cast<DWORD>(filled) : capacity);
    for (DWORD index = 0; index < walked; ++index)
    {
        const DeviceKey key = keys[index];
        if (!MatchesSettings(key, VidText, PidText))
        {
            continue;
        }
        char entry[18];
        FormatDeviceName(key, entry);
        const int added = DeviceCombo.AddString(entry);
        if (added < 0)
        {
            continue;  // no room: there is no entry to give the key to
        }
        DeviceCombo.SetItemData(added, key);
    }
    if (DeviceCombo.GetCount() != 0)
    {
        DeviceCombo.SetCurSel(0);
    }
    platform.Free(keys);
}

LRESULT CKelvraDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsHidInterfaceChange(message, wParam, lParam, HidClassGuid))
    {
        RefreshDeviceList();
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
