// Device notifications sent to Kelvra's window from this process; Wine
// copies the record into Kelvra's process, as Windows does for a real one.
#include "EndToEndTest.h"

#include "WindowMessages.h"
#include "resource.h"

namespace EndToEnd
{
namespace
{

using KelvraAutomation::KelvraWindow;
using KelvraAutomation::Milliseconds;
using KelvraAutomation::OperationKind;
using Lines = std::vector<std::string>;

const Lines WinesDevice{"VID_845e&PID_0001"};
const Lines WinesDeviceAndStale{"VID_845e&PID_0001", "stale entry"};
const Lines NoImage{KelvraText::NoImage};

// A line in the message list, and a device list that only a rebuild puts
// back to Wine's one device with entry 0 selected.
void MarkLists(const KelvraWindow& kelvra)
{
    ASSERT_EQ(LinesAfter(kelvra, OperationKind::Write), NoImage);
    const HWND devices = GetDlgItem(kelvra.Handle(), IDC_DEVICE_LIST);
    const Milliseconds timeout{10000};
    ASSERT_TRUE(
        KelvraAutomation::SendWithin(devices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"stale entry"), timeout));
    ASSERT_TRUE(KelvraAutomation::SendWithin(devices, CB_SETCURSEL, 1, 0, timeout));
    const auto marked = kelvra.Devices();
    ASSERT_EQ(marked.entries, WinesDeviceAndStale);
    ASSERT_EQ(marked.selected, 1);
}

void ExpectRebuilt(const KelvraWindow& kelvra)
{
    const auto devices = kelvra.Devices();
    EXPECT_EQ(devices.entries, WinesDevice);
    EXPECT_EQ(devices.selected, 0);
    EXPECT_EQ(kelvra.Messages(), Lines{});
}

TEST_F(EndToEndTest, HidInterfaceArrivalAndRemovalRebuildBothLists)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001"));
    const auto& kelvra = Start();

    for (const DeviceEvent event : {DeviceEvent::Arrival, DeviceEvent::Removal})
    {
        SCOPED_TRACE(event == DeviceEvent::Arrival ? "arrival" : "removal");
        ASSERT_NO_FATAL_FAILURE(MarkLists(kelvra));
        kelvra.SendDeviceChange(event, HidInterfaceClass);
        ExpectRebuilt(kelvra);
    }

    ExitKelvra();
}

}  // namespace
}  // namespace EndToEnd
