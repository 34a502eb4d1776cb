// kelvra-image's commands and options: one table, from which the command line
// is checked and the help is printed.
#pragma once

#include "OptionParser.h"

namespace CommandLine
{

enum CommandId : int
{
    ShowCommand,
    BuildCommand,
    SeriesCommand,
    FromIntelHexCommand,
};

enum OptionId : int
{
    RawOption,
    VidOption,
    PidOption,
    ProductOption,
    ManufacturerOption,
    SerialOption,
    ProfileOption,
    OutputOption,
    CountOption,
    StartOption,
    OutputDirOption,
    ForceOption,
    HelpOption,
};

extern const OptionParser::Table Table;

}  // namespace CommandLine
