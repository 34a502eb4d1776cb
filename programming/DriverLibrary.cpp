#include "DriverLibrary.h"

#include "ExportCall.h"

#include <mmsystem.h>

#include <algorithm>
#include <vector>

namespace
{
template <class Function> bool Resolve(HMODULE library, LPCSTR name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

DWORD VendorIdOf(DWORD deviceKey)
{
    return deviceKey >> 16;
}

// A library of Windows itself, from the system folder only (Windows 7 may
// lack LOAD_LIBRARY_SEARCH_SYSTEM32).
HMODULE LoadSystemLibrary(LPCWSTR name)
{
    wchar_t path[MAX_PATH + 32];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || lstrlenW(name) > 30)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return LoadLibraryW(path);
}

// Asks for a 1 ms timer tick while a family-0 transfer runs, so each paced
// sleep lasts what it asks for rather than a 15.6 ms tick's multiple. The
// multimedia library is loaded at the first such transfer, from the system
// folder, and kept: only these transfers need it, and an import would cost
// every start.
class FineTimerResolution
{
public:
    FineTimerResolution()
    {
        static const HMODULE library = LoadSystemLibrary(L"winmm.dll");
        if (library == nullptr)
            return;
        Resolve(library, "timeBeginPeriod", m_begin);
        Resolve(library, "timeEndPeriod", m_end);
        m_granted = m_begin != nullptr && m_end != nullptr && m_begin(1) == TIMERR_NOERROR;
    }
    ~FineTimerResolution()
    {
        if (m_granted)
            m_end(1);
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    using PeriodFunction = MMRESULT(WINAPI*)(UINT);
    PeriodFunction m_begin = nullptr;
    PeriodFunction m_end = nullptr;
    bool m_granted = false;
};

// The chip needs time between words: 10 ms after the open, 20 ms before each
// word and 20 ms before the close.
const DWORD PauseAfterOpen = 10;
const DWORD PauseBeforeWord = 20;
const DWORD PauseBeforeClose = 20;

bool MoveWord(const Family0Exports& exports, TransferDirection direction, UINT wordIndex, BYTE* buffer)
{
    BYTE* word = buffer + 2 * wordIndex;
    if (direction == TransferDirection::BufferToEeprom)
        return CallExport(exports.WriteEEPROM, wordIndex, static_cast<DWORD>(word[0] | (word[1] << 8))) != 0;
    // Words are little-endian in the buffer whatever the processor.
    WORD value = 0;
    if (!CallExport(exports.ReadEEPROM, wordIndex, &value))
        return false;
    word[0] = static_cast<BYTE>(value & 0xFF);
    word[1] = static_cast<BYTE>(value >> 8);
    return true;
}

// The folder of the running program with its final separator (so "C:\\" stays
// a root, not the current folder of drive C), or empty when it cannot be had.
std::vector<wchar_t> ProgramFolder()
{
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A path that fills the buffer was cut short.
    if (length == 0 || length >= path.size())
        return {L'\0'};
    path.resize(length);
    const auto afterSeparator =
        std::find_if(path.rbegin(), path.rend(), [](wchar_t character) { return character == L'\\' || character == L'/'; });
    path.erase(afterSeparator.base(), path.end());
    path.push_back(L'\0');
    return path;
}
}  // namespace

void ExcludeCurrentFolderFromLibrarySearch()
{
    // Any library folder set replaces the current folder in the search.
    // Windows would take an empty one, but Wine reads that as none; the
    // program's own folder is searched first anyway.
    SetDllDirectoryW(ProgramFolder().data());
}

LPCSTR DriverLibraryName(int chipFamily)
{
    switch (chipFamily)
    {
    case 0:
        return "VT_HIDA.dll";
    case 1:
        return "VT_HIDB.dll";
    case 2:
        return "VT_HIDC.dll";
    default:
        return nullptr;
    }
}

bool ResolveFamily0Exports(HMODULE library, TransferDirection direction, Family0Exports& exports)
{
    if (!Resolve(library, "StartDeviceDetection", exports.StartDeviceDetection))
        return false;
    if (!Resolve(library, "CloseDevice", exports.CloseDevice))
        return false;
    if (direction == TransferDirection::BufferToEeprom)
        return Resolve(library, "WriteEEPROM", exports.WriteEEPROM);
    return Resolve(library, "ReadEEPROM", exports.ReadEEPROM);
}

bool ResolveBurnExports(HMODULE library, int chipFamily, BurnExports& exports)
{
    if (!Resolve(library, "rmDeviceStart", exports.rmDeviceStart))
        return false;
    if (!Resolve(library, "rmDeviceClose", exports.rmDeviceClose))
        return false;
    if (!Resolve(library, "rmBurnEEPROM", exports.rmBurnEEPROM))
        return false;
    return chipFamily != 2 || Resolve(library, "rmSetEEPROMSize", exports.rmSetEEPROMSize);
}

bool TransferFamily0(const Family0Exports& exports, TransferDirection direction, DWORD deviceKey, HWND window,
                     BYTE* buffer, UINT byteCount)
{
    FineTimerResolution fineTimer;
    if (!CallExport(exports.StartDeviceDetection, window, 0, 0, 0, 0, 0, 0, 0, 0, 0, VendorIdOf(deviceKey),
                    deviceKey))
        return false;
    Sleep(PauseAfterOpen);
    const UINT wordCount = byteCount / 2;
    bool everyWordMoved = wordCount > 0;
    for (UINT wordIndex = 0; wordIndex < wordCount; ++wordIndex)
    {
        Sleep(PauseBeforeWord);
        if (!MoveWord(exports, direction, wordIndex, buffer))
        {
            everyWordMoved = false;
            break;
        }
    }
    Sleep(PauseBeforeClose);
    CallExport(exports.CloseDevice);
    return everyWordMoved;
}

bool TransferBurn(const BurnExports& exports, int chipFamily, TransferDirection direction, DWORD deviceKey,
                  HWND window, BYTE* buffer, UINT byteCount)
{
    if (!CallExport(exports.rmDeviceStart, VendorIdOf(deviceKey), deviceKey, window, 0, 0, 0))
        return false;
    if (chipFamily == 2)
        CallExport(exports.rmSetEEPROMSize, 1, byteCount);
    const DWORD burnDirection = direction == TransferDirection::BufferToEeprom ? BurnBufferToEeprom : BurnEepromToBuffer;
    const bool burned = CallExport(exports.rmBurnEEPROM, burnDirection, 0, buffer, byteCount) != 0;
    CallExport(exports.rmDeviceClose);
    return burned;
}
