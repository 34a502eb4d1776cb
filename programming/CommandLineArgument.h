// One argument of a command line that CreateProcess passes on, written so the
// C runtime of the program started splits it back as it was.
#pragma once

#include <string>

std::string CommandLineArgument(const std::string& argument);
