#include "Commands.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "WideText.h"
#endif

namespace
{
#ifdef _WIN32
std::string ArgumentText(const wchar_t* argument)
{
    return Utf8FromWide(argument);
}

// A name typed in any script shows as typed on a console too.
bool Emit(const std::string& out, const std::string& err)
{
    const bool written = WriteStandard(STD_OUTPUT_HANDLE, out);
    WriteStandard(STD_ERROR_HANDLE, err);
    return written;
}
#else
std::string ArgumentText(const char* argument)
{
    return argument;
}

// Plain stdio: the C++ streams would be most of the program.
bool Emit(const std::string& out, const std::string& err)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}
#endif

template <typename Character> int Run(int argc, Character** argv, std::string& out, std::string& err)
{
    try
    {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
        {
            arguments.push_back(ArgumentText(argv[index]));
        }
        return Commands::Run(arguments, out, err);
    }
    catch (...)
    {
        err += "kelvra-image: out of memory\n";
        return Commands::ExitRefused;
    }
}

template <typename Character> int Main(int argc, Character** argv)
{
    std::string out;
    std::string err;
    const int status = Run(argc, argv, out, err);
    const bool written = Emit(out, err);
    return status == Commands::ExitSuccess && !written ? Commands::ExitRefused : status;
}
}  // namespace

#ifdef _WIN32
// The arguments as Windows holds them, so a name outside the ANSI code page
// is not turned into another file's name.
int wmain(int argc, wchar_t** argv)
{
    return Main(argc, argv);
}
#else
int main(int argc, char** argv)
{
    return Main(argc, argv);
}
#endif
