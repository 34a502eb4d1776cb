// Binding to the chip-family driver libraries: one library per family,
// loaded by name for each operation, its exports resolved by name.
#pragma once

#include "DriverExports.h"

// Takes the current folder out of the search for libraries loaded by bare
// name, so a library planted where the program is started from never runs;
// the program's own folder, the system folders and PATH still serve. Call
// once at start.
void ExcludeCurrentFolderFromLibrarySearch();

// The library file of a chip family, or null for an unknown family.
LPCSTR DriverLibraryName(int chipFamily);

enum class TransferDirection
{
    EepromToBuffer,
    BufferToEeprom,
};

// Family 0, resolved in the library's order: StartDeviceDetection,
// CloseDevice, then WriteEEPROM or ReadEEPROM.
struct Family0Exports
{
    StartDeviceDetectionFunction StartDeviceDetection = nullptr;
    CloseDeviceFunction CloseDevice = nullptr;
    WriteEEPROMFunction WriteEEPROM = nullptr;
    ReadEEPROMFunction ReadEEPROM = nullptr;
};

// Families 1 and 2: rmDeviceStart, rmDeviceClose, rmBurnEEPROM, and for
// family 2 last rmSetEEPROMSize.
struct BurnExports
{
    rmDeviceStartFunction rmDeviceStart = nullptr;
    rmDeviceCloseFunction rmDeviceClose = nullptr;
    rmBurnEEPROMFunction rmBurnEEPROM = nullptr;
    rmSetEEPROMSizeFunction rmSetEEPROMSize = nullptr;
};

// False when any export the operation needs is missing.
bool ResolveFamily0Exports(HMODULE library, TransferDirection direction, Family0Exports& exports);
bool ResolveBurnExports(HMODULE library, int chipFamily, BurnExports& exports);

// One family-0 transfer of byteCount bytes, word by word with the fixed
// pacing, between the device and buffer. True when every word moved.
bool TransferFamily0(const Family0Exports& exports, TransferDirection direction, DWORD deviceKey, HWND window,
                     BYTE* buffer, UINT byteCount);

// One family-1 or family-2 transfer. True when the device opened and the burn succeeded.
bool TransferBurn(const BurnExports& exports, int chipFamily, TransferDirection direction, DWORD deviceKey,
                  HWND window, BYTE* buffer, UINT byteCount);
