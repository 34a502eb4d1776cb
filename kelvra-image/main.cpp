#include "Commands.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
int Run(int argc, char** argv, std::string& out, std::string& err)
{
    try
    {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        return Commands::Run(arguments, out, err);
    }
    catch (...)
    {
        err += "kelvra-image: out of memory\n";
        return Commands::ExitRefused;
    }
}
}  // namespace

// Plain stdio: the C++ streams would be most of the program.
int main(int argc, char** argv)
{
    std::string out;
    std::string err;
    const int status = Run(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    return status == Commands::ExitSuccess && !written ? Commands::ExitRefused : status;
}
