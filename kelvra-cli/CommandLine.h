// kelvra-cli's command line: a command, its options, and every check of them
// that needs no file and no device, so bad input is refused before anything
// is touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DriverLibrary.h"
#include "ExitStatus.h"

enum class Command
{
    Help,
    List,
    Read,
    Show,
    Write,
    Verify,
    Line,
    MendLog,
    Ledger,  // its own commands: LedgerCommands.h
};

struct DeviceIds
{
    WORD vendorId;
    WORD productId;
};

struct Options
{
    Command command = Command::Help;
    std::string image;   // write, verify
    std::string output;  // read
    ChipFamily family = ChipFamily::A;
    UINT size = 0;  // the operation size, settled from the family and --size
    std::optional<DeviceIds> device;
    std::optional<std::string> serial;
    bool keepSerial = false;
    bool force = false;
    bool hex = false;
    bool verify = false;
    bool json = false;
    bool quiet = false;
    bool all = false;
    // line
    std::string start;                       // VT-A: the first serial of the series
    std::optional<std::uint64_t> count;      // the series' length
    std::optional<std::uint64_t> stopAfter;  // passes in this run
    std::string log;                         // line, mend-log
    bool skipFailed = false;                 // the default: kept for older scripts
    bool allowDuplicateSerials = false;      // a failed unit's serial goes to the next unit too
    bool serialsFromInput = false;           // VT-A: one serial per line of standard input instead of --start
    // line on a shared ledger: its connection string (or KELVRA_LEDGER's), the series and this station's name.
    std::string ledger;
    std::string series;
    std::string station;
};

// arguments: the command line after the program name, as UTF-8.
Outcome ParseCommandLine(const std::vector<std::string>& arguments, Options& options);

// 1 to 4 hexadecimal digits: an identifier that means what it says.
bool IsHexIdentifier(const std::string& text);

// Printed from the same table the command line is checked against.
std::string HelpText();
