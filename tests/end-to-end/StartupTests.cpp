// What Kelvra lists at start, from the settings file in its working folder.
#include "EndToEndTest.h"

namespace EndToEnd {
namespace {

using KelvraAutomation::OperationKind;
using Lines = std::vector<std::string>;

TEST_F(EndToEndTest, WithoutSettingsNoDeviceIsListedAndWriteAsksForOne)
{
    Install();
    const auto& kelvra = Start();

    const auto devices = kelvra.Devices();
    EXPECT_EQ(Lines{}, devices.entries);
    EXPECT_EQ(-1, devices.selected);
    // The device comes before the missing path.
    EXPECT_EQ(Lines{KelvraText::NoDevice}, LinesAfter(kelvra, OperationKind::Write));

    ExitKelvra();
}

TEST_F(EndToEndTest, SettingsNamingWinesDeviceListItSelectedAndWriteAsksForAFile)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001"));
    const auto& kelvra = Start();

    const auto devices = kelvra.Devices();
    EXPECT_EQ(Lines{"VID_845e&PID_0001"}, devices.entries);
    EXPECT_EQ(0, devices.selected);
    EXPECT_EQ("", kelvra.ImagePath());
    EXPECT_EQ(Lines{KelvraText::NoImage}, LinesAfter(kelvra, OperationKind::Write));

    ExitKelvra();
}

TEST_F(EndToEndTest, RenamedProgramReadsTheSettingsFileOfItsOwnName)
{
    Install("Programmer");
    WriteSettings(SettingsFor("845e", "0001"), "Programmer");
    // Read by mistake, this one would list Wine's other device.
    WriteSettings(SettingsFor("845e", "0002"), "Kelvra");
    const auto& kelvra = Start("Programmer");

    const auto devices = kelvra.Devices();
    EXPECT_EQ(Lines{"VID_845e&PID_0001"}, devices.entries);
    EXPECT_EQ(0, devices.selected);

    ExitKelvra();
}

}  // namespace
}  // namespace EndToEnd
