// kelvra-cli's commands: list, read, show, write, verify, line and mend-log.
#pragma once

#include <string>
#include <vector>

#include "Console.h"
#include "HidPlatform.h"

// Runs the command line (after the program name, as UTF-8) and returns the
// exit status. Every failure leaves one message on stderr.
int RunKelvraCli(const std::vector<std::string>& arguments, Console& console, HidPlatform& platform);

struct Outcome;
// The one JSON object of a command: its fields, and on failure the message
// and the exit status.
void AnswerInJson(std::string fields, const Outcome& outcome, Console& console);
