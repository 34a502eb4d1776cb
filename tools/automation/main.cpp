#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return KelvraAutomation::RunCommandLine(arguments, std::cout, std::cerr);
}
