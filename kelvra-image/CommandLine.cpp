#include "CommandLine.h"

namespace CommandLine
{

namespace
{

using OptionParser::CommandBit;
using OptionParser::CommandRow;
using OptionParser::OptionRow;

const CommandRow Commands[] = {
    {ShowCommand, "show", "FILE",
     "print the identity as Kelvra lists it after a successful VT-A verify, "
     "then \"warning: \" lines. Bytes outside printable ASCII show as \\xNN, and a backslash as \\\\"},
    {BuildCommand, "build", "", "write a 128-byte image"},
    {SeriesCommand, "series", "",
     "write N images named DIR/<serial>.hex with consecutive serial numbers "
     "from SERIAL, by default the profile's SERIAL"},
    {FromIntelHexCommand, "from-ihex", "IN OUT",
     "convert Intel HEX text to the raw bytes Kelvra writes (it writes files "
     "unchanged, whatever their extension). Bytes no record sets become 0, "
     "as Kelvra pads a short file; addresses end at 2048"},
};

const OptionParser::CommandSet Build = CommandBit(BuildCommand);
const OptionParser::CommandSet Series = CommandBit(SeriesCommand);
const OptionParser::CommandSet Identity = Build | Series;
const OptionParser::CommandSet Writers = Build | Series | CommandBit(FromIntelHexCommand);
const OptionParser::CommandSet Every = Writers | CommandBit(ShowCommand);

const OptionRow Options[] = {
    {RawOption, "--raw", nullptr, nullptr, "show: the identity lines carry the image's bytes unchanged",
     CommandBit(ShowCommand), 0},
    {VidOption, "--vid", nullptr, "HEX", "the vendor identifier: 1 to 4 hexadecimal digits, no 0x", Identity, 0},
    {PidOption, "--pid", nullptr, "HEX", "the product identifier, written as --vid", Identity, 0},
    {ProductOption, "--product", nullptr, "TEXT",
     "printable ASCII, at most 31 characters; an empty TEXT leaves the string out", Identity, 0},
    {ManufacturerOption, "--manufacturer", nullptr, "TEXT", "printable ASCII, at most 75 characters", Identity, 0},
    {SerialOption, "--serial", nullptr, "TEXT", "printable ASCII, at most 13 characters", Build, 0},
    {ProfileOption, "--profile", nullptr, "FILE", "the identity from an INI profile (below); options override it",
     Identity, Series},
    {OutputOption, "-o", "--output", "FILE", "build: the image file to write", Build, Build},
    {CountOption, "--count", nullptr, "N", "series: how many images, at most 100000", Series, Series},
    {StartOption, "--start", nullptr, "SERIAL",
     "series: the first serial, an optional prefix of letters, '-' or '_' "
     "followed by decimal digits that keep their width: SN0099, SN0100, ...",
     Series, 0},
    {OutputDirOption, "--output-dir", nullptr, "DIR", "series: the folder of the images (default: the current one)",
     Series, 0},
    {ForceOption, "--force", nullptr, nullptr, "replace a file that exists", Writers, 0},
    {HelpOption, "-h", "--help", nullptr, "this text", Every, 0},
};

}  // namespace

const OptionParser::Table Table = OptionParser::MakeTable(
    "kelvra-image", "kelvra-image: makes and checks VT-A (family-0) EEPROM image files for Kelvra.\n",
    "\n"
    "Profile: an INI file with the section [IMAGE] and the keys VID, PID,\n"
    "PRODUCT, MANUFACTURER and SERIAL; options override it. A ';' that begins a\n"
    "value or follows a blank starts a comment, on every key; write a value that\n"
    "holds \" ;\" in double quotes.\n"
    "\n"
    "No command replaces an existing file unless --force is given, and none\n"
    "replaces its own input.\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  refused or failed: a file missing, unreadable or in the way, a profile\n"
    "     line or value refused, a write that failed\n"
    "  2  usage error: an unknown command or option, an option missing or given\n"
    "     twice, a bad option value (--count 0, --vid zz, -o \"\")\n",
    Commands, Options, HelpOption);

}  // namespace CommandLine
