// VT_HIDA.dll, emulated family-0 chip: 128 bytes of EEPROM addressed as 64 words, word i being
// bytes 2i and 2i+1, little-endian.
#include "CallLogWriter.h"
#include "DeviceSession.h"
#include "DriverExports.h"
#include "ExportConvention.h"

#include <windows.h>

#include <cstring>
#include <type_traits>

namespace
{

constexpr char LibraryName[] = "VT_HIDA";
constexpr DWORD ChipWords = 64;
constexpr std::size_t ChipBytes = ChipWords * 2;

emulator::DeviceSession openDevice(LibraryName, ChipBytes);

bool WriteWord(DWORD wordIndex, DWORD word)
{
    if (!openDevice.IsOpen() || wordIndex >= ChipWords)
    {
        return false;
    }
    if (openDevice.Settings().FailsWriteOfWord(wordIndex))
    {
        return false;
    }
    // Only the low half of the argument reaches the chip.
    const BYTE bytes[2] = {LOBYTE(word), HIBYTE(word)};
    return openDevice.Chip().Write(wordIndex * 2, bytes, sizeof bytes);
}

bool ReadWord(DWORD wordIndex, WORD* slot)
{
    if (!openDevice.IsOpen() || slot == nullptr || wordIndex >= ChipWords)
    {
        return false;
    }
    if (openDevice.Settings().FailsReadOfWord(wordIndex))
    {
        return false;
    }
    BYTE bytes[2];
    if (!openDevice.Chip().Read(wordIndex * 2, bytes, sizeof bytes))
    {
        return false;
    }
    const WORD word = MAKEWORD(bytes[0], bytes[1]);
    // The slot may sit at any byte of the caller's buffer.
    std::memcpy(slot, &word, sizeof word);
    return true;
}

}  // namespace

using emulator::Decimal;
using emulator::ExportType;
using emulator::Hex;

extern "C"
{

    int EMULATED_EXPORT StartDeviceDetection(HWND window, DWORD zero1, DWORD zero2, DWORD zero3, DWORD zero4,
                                             DWORD zero5, DWORD zero6, DWORD zero7, DWORD zero8, DWORD zero9,
                                             DWORD vendorId, DWORD deviceKey)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "StartDeviceDetection"};
        return openDevice.LoggedCall(
            site,
            {Hex(window), Decimal(zero1), Decimal(zero2), Decimal(zero3), Decimal(zero4), Decimal(zero5),
             Decimal(zero6), Decimal(zero7), Decimal(zero8), Decimal(zero9), Hex(vendorId), Hex(deviceKey)},
            [&]
            {
                const DWORD reserved = zero1 | zero2 | zero3 | zero4 | zero5 | zero6 | zero7 | zero8 | zero9;
                return openDevice.Open(vendorId, deviceKey, reserved == 0) ? 1 : 0;
            });
    }

    int EMULATED_EXPORT WriteEEPROM(DWORD wordIndex, DWORD word)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "WriteEEPROM"};
        return openDevice.LoggedCall(site, {Decimal(wordIndex), Hex(word)},
                                     [&] { return WriteWord(wordIndex, word) ? 1 : 0; });
    }

    int EMULATED_EXPORT ReadEEPROM(DWORD wordIndex, WORD* slot)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "ReadEEPROM"};
        return openDevice.LoggedCall(site, {Decimal(wordIndex), Hex(slot)},
                                     [&] { return ReadWord(wordIndex, slot) ? 1 : 0; });
    }

    int EMULATED_EXPORT CloseDevice(void)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "CloseDevice"};
        return openDevice.LoggedCall(site, {}, [] { return openDevice.Close() ? 1 : 0; });
    }

}  // extern "C"

static_assert(std::is_same_v<decltype(&StartDeviceDetection), ExportType<StartDeviceDetectionFunction>>);
static_assert(std::is_same_v<decltype(&WriteEEPROM), ExportType<WriteEEPROMFunction>>);
static_assert(std::is_same_v<decltype(&ReadEEPROM), ExportType<ReadEEPROMFunction>>);
static_assert(std::is_same_v<decltype(&CloseDevice), ExportType<CloseDeviceFunction>>);
