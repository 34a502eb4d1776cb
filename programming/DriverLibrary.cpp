#include "DriverLibrary.h"

#include "ExportCall.h"
#include "SystemLibrary.h"

#include <mmsystem.h>

#include <algorithm>
#include <vector>

namespace
{
DWORD VendorIdOf(DWORD deviceKey)
{
    return deviceKey >> 16;
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
        // Set once it loaded; a plain static, as a guarded one would bring
        // the runtime's thread library along. Two threads loading it at once
        // only count it twice.
        static HMODULE library = nullptr;
        if (library == nullptr)
        {
            library = LoadSystemLibrary(L"winmm.dll");
        }
        if (library == nullptr)
        {
            return;
        }
        ResolveExport(library, "timeBeginPeriod", m_begin);
        ResolveExport(library, "timeEndPeriod", m_end);
        m_granted = m_begin != nullptr && m_end != nullptr && m_begin(1) == TIMERR_NOERROR;
    }
    ~FineTimerResolution()
    {
        if (m_granted)
        {
            m_end(1);
        }
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    using PeriodFunction = MMRESULT(WINAPI*)(UINT);
    PeriodFunction m_begin = nullptr;
    PeriodFunction m_end = nullptr;
    bool m_granted = false;
};

Family0Pacing pacing = ChipPacing;

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

TransferOutcome Ended(TransferStatus status, UINT wordsDone = 0, LPCSTR missingExport = nullptr)
{
    TransferOutcome outcome;
    outcome.status = status;
    outcome.wordsDone = wordsDone;
    outcome.missingExport = missingExport;
    return outcome;
}

LPCSTR ResolveFamily0Exports(HMODULE library, TransferDirection direction, Family0Exports& exports)
{
    if (!ResolveExport(library, "StartDeviceDetection", exports.StartDeviceDetection))
    {
        return "StartDeviceDetection";
    }
    if (!ResolveExport(library, "CloseDevice", exports.CloseDevice))
    {
        return "CloseDevice";
    }
    if (direction == TransferDirection::BufferToEeprom)
    {
        return ResolveExport(library, "WriteEEPROM", exports.WriteEEPROM) ? nullptr : "WriteEEPROM";
    }
    return ResolveExport(library, "ReadEEPROM", exports.ReadEEPROM) ? nullptr : "ReadEEPROM";
}

LPCSTR ResolveBurnExports(HMODULE library, bool setsSize, BurnExports& exports)
{
    if (!ResolveExport(library, "rmDeviceStart", exports.rmDeviceStart))
    {
        return "rmDeviceStart";
    }
    if (!ResolveExport(library, "rmDeviceClose", exports.rmDeviceClose))
    {
        return "rmDeviceClose";
    }
    if (!ResolveExport(library, "rmBurnEEPROM", exports.rmBurnEEPROM))
    {
        return "rmBurnEEPROM";
    }
    if (setsSize && !ResolveExport(library, "rmSetEEPROMSize", exports.rmSetEEPROMSize))
    {
        return "rmSetEEPROMSize";
    }
    return nullptr;
}

bool MoveWord(const Family0Exports& exports, TransferDirection direction, UINT wordIndex, BYTE* buffer)
{
    BYTE* word = buffer + 2 * wordIndex;
    if (direction == TransferDirection::BufferToEeprom)
    {
        return CallExport(exports.WriteEEPROM, wordIndex, static_cast<DWORD>(word[0] | (word[1] << 8))) != 0;
    }
    // Words are little-endian in the buffer whatever the processor.
    WORD value = 0;
    if (!CallExport(exports.ReadEEPROM, wordIndex, &value))
    {
        return false;
    }
    word[0] = static_cast<BYTE>(value & 0xFF);
    word[1] = static_cast<BYTE>(value >> 8);
    return true;
}

bool IsCancelled(const TransferHooks& hooks)
{
    return hooks.cancel != nullptr && hooks.cancel->load();
}

// Moves the words after the open; the close is the caller's.
TransferOutcome MoveWords(const Family0Exports& exports, const TransferRequest& request, const TransferHooks& hooks)
{
    const UINT wordCount = request.size / 2;
    if (wordCount == 0)
    {
        return Ended(TransferStatus::WordFailed);
    }
    for (UINT wordIndex = 0; wordIndex < wordCount; ++wordIndex)
    {
        if (IsCancelled(hooks))
        {
            return Ended(TransferStatus::Interrupted, wordIndex);
        }
        Sleep(pacing.beforeWord);
        if (!MoveWord(exports, request.direction, wordIndex, request.buffer))
        {
            return Ended(TransferStatus::WordFailed, wordIndex);
        }
        if (hooks.progress != nullptr)
        {
            hooks.progress(hooks.context, wordIndex + 1, wordCount);
        }
    }
    return Ended(TransferStatus::Done, wordCount);
}

TransferOutcome TransferWordByWord(HMODULE library, const TransferRequest& request, const TransferHooks& hooks)
{
    Family0Exports exports;
    if (LPCSTR missing = ResolveFamily0Exports(library, request.direction, exports))
    {
        return Ended(TransferStatus::ExportMissing, 0, missing);
    }
    FineTimerResolution fineTimer;
    if (!CallExport(exports.StartDeviceDetection, request.window, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                    VendorIdOf(request.deviceKey), request.deviceKey))
    {
        return Ended(TransferStatus::OpenFailed);
    }
    Sleep(pacing.afterOpen);
    const TransferOutcome outcome = MoveWords(exports, request, hooks);
    Sleep(pacing.beforeClose);
    CallExport(exports.CloseDevice);
    return outcome;
}

TransferOutcome Burn(HMODULE library, const TransferRequest& request, bool setsSize)
{
    BurnExports exports;
    if (LPCSTR missing = ResolveBurnExports(library, setsSize, exports))
    {
        return Ended(TransferStatus::ExportMissing, 0, missing);
    }
    if (!CallExport(exports.rmDeviceStart, VendorIdOf(request.deviceKey), request.deviceKey, request.window, 0, 0, 0))
    {
        return Ended(TransferStatus::OpenFailed);
    }
    if (setsSize)
    {
        CallExport(exports.rmSetEEPROMSize, 1, request.size);
    }
    const DWORD burnDirection =
        request.direction == TransferDirection::BufferToEeprom ? BurnBufferToEeprom : BurnEepromToBuffer;
    const bool burned = CallExport(exports.rmBurnEEPROM, burnDirection, 0, request.buffer, request.size) != 0;
    CallExport(exports.rmDeviceClose);
    return Ended(burned ? TransferStatus::Done : TransferStatus::BurnFailed);
}

TransferOutcome TransferBurn(HMODULE library, const TransferRequest& request, const TransferHooks&)
{
    return Burn(library, request, false);
}

// VT-C is told its EEPROM size before every burn, a read included.
TransferOutcome TransferSizedBurn(HMODULE library, const TransferRequest& request, const TransferHooks&)
{
    return Burn(library, request, true);
}

// The folder of the running program with its final separator (so "C:\\" stays
// a root, not the current folder of drive C), or empty when it cannot be had.
std::vector<wchar_t> ProgramFolder()
{
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A path that fills the buffer was cut short.
    if (length == 0 || length >= path.size())
    {
        return {L'\0'};
    }
    path.resize(length);
    const auto afterSeparator = std::find_if(path.rbegin(), path.rend(),
                                             [](wchar_t character) { return character == L'\\' || character == L'/'; });
    path.erase(afterSeparator.base(), path.end());
    path.push_back(L'\0');
    return path;
}

const ChipFamilyTraits FamilyTable[] = {
    {ChipFamilyName(ChipFamily::A), "VT_HIDA.dll", 128, TransferWordByWord},
    {ChipFamilyName(ChipFamily::B), "VT_HIDB.dll", 256, TransferBurn},
    {ChipFamilyName(ChipFamily::C), "VT_HIDC.dll", 0, TransferSizedBurn},
};
}  // namespace

void ExcludeCurrentFolderFromLibrarySearch()
{
    // Any library folder set replaces the current folder in the search.
    // Windows would take an empty one, but Wine reads that as none; the
    // program's own folder is searched first anyway.
    SetDllDirectoryW(ProgramFolder().data());
}

void SetFamily0Pacing(const Family0Pacing& chosen)
{
    pacing = chosen;
}

const Family0Pacing& CurrentFamily0Pacing()
{
    return pacing;
}

const ChipFamilyTraits& TraitsOf(ChipFamily family)
{
    return FamilyTable[static_cast<int>(family)];
}

bool ChipFamilyFromIndex(int index, ChipFamily& family)
{
    if (index < 0 || index > static_cast<int>(ChipFamily::C))
    {
        return false;
    }
    family = static_cast<ChipFamily>(index);
    return true;
}

UINT OperationSizeOf(ChipFamily family, UINT chosenEepromSize)
{
    const UINT fixedSize = TraitsOf(family).fixedOperationSize;
    return fixedSize != 0 ? fixedSize : chosenEepromSize;
}

TransferOutcome TransferThroughLibrary(const TransferRequest& request, HMODULE& library, const TransferHooks& hooks)
{
    const ChipFamilyTraits& traits = TraitsOf(request.family);
    library = LoadLibraryA(traits.libraryName);
    if (library == nullptr)
    {
        return Ended(TransferStatus::LibraryMissing);
    }
    const TransferOutcome outcome = traits.transfer(library, request, hooks);
    FreeLibrary(library);
    library = nullptr;
    return outcome;
}

TransferOutcome ProbeLibrary(ChipFamily family)
{
    const HMODULE library = LoadLibraryA(TraitsOf(family).libraryName);
    if (library == nullptr)
    {
        return Ended(TransferStatus::LibraryMissing);
    }
    LPCSTR missing = nullptr;
    if (family == ChipFamily::A)
    {
        Family0Exports exports;
        missing = ResolveFamily0Exports(library, TransferDirection::BufferToEeprom, exports);
        missing =
            missing != nullptr ? missing : ResolveFamily0Exports(library, TransferDirection::EepromToBuffer, exports);
    }
    else
    {
        BurnExports exports;
        missing = ResolveBurnExports(library, family == ChipFamily::C, exports);
    }
    FreeLibrary(library);
    return Ended(missing != nullptr ? TransferStatus::ExportMissing : TransferStatus::Done, 0, missing);
}
