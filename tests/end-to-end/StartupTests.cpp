// The settings file Kelvra reads: the one of its own name in its working folder.
#include "EndToEndTest.h"

namespace EndToEnd
{
namespace
{

using Lines = std::vector<std::string>;

TEST_F(EndToEndTest, RenamedProgramReadsTheSettingsFileOfItsOwnName)
{
    Install("Programmer");
    WriteSettings(SettingsFor("845e", "0001"), "Programmer");
    // Read by mistake, this one would list Wine's other device.
    WriteSettings(SettingsFor("845e", "0002"), "Kelvra");
    const auto& kelvra = Start("Programmer");

    const auto devices = kelvra.Devices();
    EXPECT_EQ(devices.entries, Lines{"VID_845e&PID_0001"});
    EXPECT_EQ(devices.selected, 0);

    ExitKelvra();
}

}  // namespace
}  // namespace EndToEnd
