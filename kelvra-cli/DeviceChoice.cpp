#include "DeviceChoice.h"

#include "Digits.h"

#include "Joined.h"
#include "Text.h"

namespace
{
const char* const SettingsFile = "./Kelvra.ini";

// Read as Kelvra reads it; a warning unless that is what the value, its
// comment aside, says.
WORD ReadIdentifier(const char* key, const char* example, Console& console)
{
    char value[260] = {};
    GetPrivateProfileStringA("KELVRA", key, "", value, sizeof value, SettingsFile);
    const WORD parsed = ParseHexId(value);
    std::string meant;
    const bool plain = Text::IniValue(value, meant).empty() && IsHexIdentifier(meant);
    if (!plain || ParseHexId(meant.c_str()) != parsed)
    {
        const std::string reading = Digits::Hex(parsed, 4);
        const bool unset = value[0] == '\0';
        console.Err(Joined({"kelvra-cli: warning: Kelvra.ini ", unset ? "sets no " : "has ", key, unset ? "" : "=",
                            value, ", which is not 1 to 4 hexadecimal digits; Kelvra and kelvra-cli read it as ",
                            reading, ". Write it like ", key, "=", example, ".\n"}));
    }
    return parsed;
}
}  // namespace

Outcome ChooseIdentifiers(const Options& options, Console& console, DeviceIds& ids)
{
    if (options.device)
    {
        ids = *options.device;
        return {};
    }
    if (GetFileAttributesA(SettingsFile) == INVALID_FILE_ATTRIBUTES)
    {
        return Failure(ExitStatus::NoDevice, "no device chosen: give --device VID:PID, or run kelvra-cli in a folder "
                                             "whose Kelvra.ini sets VID and PID");
    }
    ids.vendorId = ReadIdentifier("VID", "845e", console);
    ids.productId = ReadIdentifier("PID", "0001", console);
    return {};
}

DeviceKey KeyOf(const DeviceIds& ids)
{
    return (static_cast<DeviceKey>(ids.vendorId) << 16) | ids.productId;
}

std::string DeviceName(DeviceKey key)
{
    char name[18];
    FormatDeviceName(key, name);
    return name;
}

Outcome FindDevice(const DeviceIds& ids, HidPlatform& platform, DeviceKey& key)
{
    key = KeyOf(ids);
    const size_t matching = CountAttached(key, platform);
    if (matching == 1)
    {
        return {};
    }
    if (matching == 0)
    {
        return Failure(ExitStatus::NoDevice, Joined({"no attached device carries ", DeviceName(key),
                                                     ": plug it in, or check --device or Kelvra.ini "
                                                     "(kelvra-cli list --all shows every HID device)"}));
    }
    return Failure(ExitStatus::NoDevice,
                   Joined({std::to_string(matching), " attached interfaces carry ", DeviceName(key),
                           ", and the driver libraries, given only these identifiers, cannot tell them apart: unplug "
                           "all but the device to program"}));
}
