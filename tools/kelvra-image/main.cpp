#include "Commands.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "WideText.h"
#endif

namespace
{
#ifdef _WIN32
std::string ArgumentText(const wchar_t* argument)
{
    return Utf8FromWide(argument);
}
#else
std::string ArgumentText(const char* argument)
{
    return argument;
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

// Plain stdio: the C++ streams would be most of the program.
template <typename Character> int Main(int argc, Character** argv)
{
    std::string out;
    std::string err;
    const int status = Run(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
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
