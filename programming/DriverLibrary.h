// Binding to the chip-family driver libraries: one library per family,
// loaded by bare name for each transfer, its exports resolved by name, the
// device opened, the bytes moved, the device closed and the library freed.
// Nothing here knows a dialog: Kelvra and kelvra-cli both transfer through it.
#pragma once

#include <atomic>
#include <string>

#include "ChipFamily.h"
#include "DriverExports.h"

// Takes the current folder out of the search for libraries loaded by bare
// name, so a library planted where the program is started from never runs;
// the program's own folder, the system folders and PATH still serve. Call
// once at start.
void ExcludeCurrentFolderFromLibrarySearch();

enum class TransferDirection
{
    EepromToBuffer,
    BufferToEeprom,
};

enum class TransferStatus
{
    Done,
    LibraryMissing,  // the library did not load
    ExportMissing,   // missingExport was not found; no export was called
    OpenFailed,      // the open returned zero; no close followed
    WordFailed,      // VT-A: the call for word wordsDone returned zero
    BurnFailed,      // VT-B, VT-C: rmBurnEEPROM returned zero
    Interrupted,     // VT-A: cancelled after wordsDone words; the close followed
};

struct TransferOutcome
{
    TransferStatus status = TransferStatus::Done;
    UINT wordsDone = 0;
    LPCSTR missingExport = nullptr;
};

// Observers of a VT-A transfer, looked at only between words, so they change
// neither its calls nor its pacing. Both may be left out.
struct TransferHooks
{
    // After each word moved: how many of wordCount are done.
    void (*progress)(void* context, UINT wordsDone, UINT wordCount) = nullptr;
    void* context = nullptr;
    // Set from another thread to end before the next word.
    const std::atomic<bool>* cancel = nullptr;
};

struct TransferRequest
{
    ChipFamily family;
    TransferDirection direction;
    DWORD deviceKey;
    HWND window;  // handed to the library's open
    BYTE* buffer;
    UINT size;  // the operation size in bytes
};

using FamilyTransfer = TransferOutcome (*)(HMODULE library, const TransferRequest& request, const TransferHooks& hooks);

// The pauses a VT-A chip needs, in milliseconds: after the open, before each
// word and before the close.
struct Family0Pacing
{
    DWORD afterOpen;
    DWORD beforeWord;
    DWORD beforeClose;
};
inline constexpr Family0Pacing ChipPacing = {10, 20, 20};

// The pacing of this process's VT-A transfers from now on. Programs keep
// ChipPacing; in-process tests that do not look at the pacing shorten it.
void SetFamily0Pacing(const Family0Pacing& pacing);
const Family0Pacing& CurrentFamily0Pacing();

// What sets the families apart.
struct ChipFamilyTraits
{
    LPCSTR name;  // as on Kelvra's radio button
    LPCSTR libraryName;
    UINT fixedOperationSize;  // bytes of every transfer; 0: the EEPROM size chosen
    FamilyTransfer transfer;  // resolves the exports in the library's order and moves the bytes
};

const ChipFamilyTraits& TraitsOf(ChipFamily family);

// The family of a radio-button index 0, 1 or 2; false for any other.
bool ChipFamilyFromIndex(int index, ChipFamily& family);

// The EEPROM sizes a VT-C chip may be given, smallest first.
inline constexpr UINT32 VtcEepromSizes[4] = {256, 512, 1024, 2048};

// Bytes one transfer moves: the family's own size, or chosenEepromSize for VT-C.
UINT OperationSizeOf(ChipFamily family, UINT chosenEepromSize);

// The whole transfer: loads the family's library into library, resolves its
// exports, opens the device, moves request.size bytes, closes the device,
// then frees the library and clears library again.
TransferOutcome TransferThroughLibrary(const TransferRequest& request, HMODULE& library,
                                       const TransferHooks& hooks = TransferHooks());

// Loads the family's library and resolves every export a transfer either way
// calls, then frees it; nothing is called. Done, LibraryMissing or
// ExportMissing: a production line learns before its first unit that no unit
// could be programmed.
TransferOutcome ProbeLibrary(ChipFamily family);

// What a write that failed part-way asks for: at a desk, the image written
// again; on a production line, the unit put aside, which the line says itself.
enum class AfterPartialWrite
{
    WriteAgain,
    PutUnitAside,
};

// What the end of a transfer means and what to do about it, as one message;
// empty for Done. program: the file the libraries belong beside.
std::string TransferEndText(const TransferOutcome& outcome, ChipFamily family, TransferDirection direction,
                            const std::string& deviceName, UINT size, const char* program,
                            AfterPartialWrite after = AfterPartialWrite::WriteAgain);
