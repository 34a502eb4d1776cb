// kelvra-cli ledger: the shared ledger's schema, its series, and the batch
// watched, exported, settled and brought in from a CSV log.
#pragma once

#include <string>
#include <vector>

#include "Console.h"

// arguments: the words after "ledger". Returns the exit status; a failure
// leaves one message on stderr (or, with --json, in the object).
int RunLedgerCommand(const std::vector<std::string>& arguments, Console& console);
