// kelvra-cli ledger runs kelvra-ledger.exe, beside kelvra-cli.exe: the
// engineer's commands on the shared ledger are rare, and as a program of
// their own they keep kelvra-cli, which every station runs, within its size.
#pragma once

#include <string>
#include <vector>

#include "Console.h"

// arguments: kelvra-cli's, "ledger" first. The program's exit status; 1 with
// a message when it cannot be started.
int RunLedgerProgram(const std::vector<std::string>& arguments, Console& console);
