// The exports of the chip-family driver libraries VT_HIDA.dll, VT_HIDB.dll and
// VT_HIDC.dll: plain C functions exported under their bare names. Every
// argument is one 32-bit word on the 32-bit product; a result is non-zero for
// success. A 32-bit library may have built them cdecl, as typed here, or
// stdcall: call them only through CallExport (ExportCall.h), which serves both.
#pragma once

#include <windows.h>

extern "C"
{
    // Family 0 (VT_HIDA.dll)
    typedef int (*StartDeviceDetectionFunction)(HWND window, DWORD zero1, DWORD zero2, DWORD zero3, DWORD zero4,
                                                DWORD zero5, DWORD zero6, DWORD zero7, DWORD zero8, DWORD zero9,
                                                DWORD vendorId, DWORD deviceKey);
    typedef int (*WriteEEPROMFunction)(DWORD wordIndex, DWORD word);
    typedef int (*ReadEEPROMFunction)(DWORD wordIndex, WORD* slot);
    typedef int (*CloseDeviceFunction)(void);

    // Families 1 and 2 (VT_HIDB.dll, VT_HIDC.dll)
    typedef int (*rmDeviceStartFunction)(DWORD vendorId, DWORD deviceKey, HWND window, DWORD zero1, DWORD zero2,
                                         DWORD zero3);
    typedef int (*rmSetEEPROMSizeFunction)(DWORD mode, DWORD sizeInBytes);
    typedef int (*rmBurnEEPROMFunction)(DWORD direction, DWORD zero, BYTE* buffer, DWORD sizeInBytes);
    typedef int (*rmDeviceCloseFunction)(void);
}

// Directions of rmBurnEEPROM.
constexpr DWORD BurnEepromToBuffer = 0;
constexpr DWORD BurnBufferToEeprom = 1;

#if !defined(_WIN64)
static_assert(sizeof(HWND) == 4 && sizeof(BYTE*) == 4 && sizeof(WORD*) == 4,
              "each export argument is one 32-bit word on the product");
#endif
