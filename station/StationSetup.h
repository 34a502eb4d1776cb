// What the engineer sets up for a station: the base image, the chip family
// (with the VT-C size), the units' identifiers, the log and where the serials
// come from. It comes from the command line, so a shortcut can carry it, and
// from the settings file beside the log (the log's name with .ini), the
// command line winning for each value it gives. Text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DriverLibrary.h"
#include "HidEnumeration.h"
#include "SerialSeries.h"

struct StationSetup
{
    ChipFamily family = ChipFamily::A;
    UINT size = 0;      // bytes each unit gets
    std::string image;  // full path
    DeviceKey device = 0;
    std::string log;  // full path
    // VT-A: serials of a series from its start; none when each unit's serial is scanned.
    std::optional<SerialSeries::Form> series;
    // The series holds this many serials (VT-B, VT-C: unit numbers from 1).
    std::optional<std::uint64_t> count;
    bool scan = false;
    std::string settingsFile;  // full path, whether or not it exists
    bool help = false;         // --help or /? was given: the rest was not read
    // A series of a shared ledger instead of the log: its connection string
    // (empty: KELVRA_LEDGER's), the series, which then gives the family, the
    // size and the serials, and this station's name (empty: the computer's).
    std::string ledger;
    std::string ledgerSeries;
    std::string station;
};

// The arguments after the program's name, split as the C runtime splits a
// command line, in UTF-8.
std::vector<std::string> SplitCommandLine(const wchar_t* commandLine);

// Fills setup from the arguments and the settings file they lead to; empty
// when it is complete, else what is wrong and how to mend it.
std::string ReadSetup(const std::vector<std::string>& arguments, StationSetup& setup);

// The help, from the table the command line is read by.
std::string StationHelp();

// The image file's first setup.size bytes, a shorter file padded with zeros;
// empty when read, else what is wrong.
std::string ReadImage(const StationSetup& setup, std::vector<BYTE>& image);

// "VT-A units VID_845e&PID_0001, 128 bytes of widget.hex, serials from
// KV-000100 to KV-000399", and so on; the log is shown apart.
std::string DescribeSetup(const StationSetup& setup);
