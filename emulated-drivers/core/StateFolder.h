#pragma once

#include <string>

namespace emulator
{

// The folder holding the chip files, emulator.ini and calls.log: KELVRA_EMULATOR_DIR when set,
// else KelvraEmulator under the user's temporary folder. Looked up at each open and at each call
// without an open device, so a test can point each run at a fresh folder without reloading the
// library. Empty when neither is known.
std::string StateFolderPath();

// Creates the folder and any missing parents; true when it exists afterwards.
bool EnsureFolderExists(const std::string& folder);

std::string PathInFolder(const std::string& folder, const std::string& fileName);

}  // namespace emulator
