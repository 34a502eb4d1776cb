#include "CallLogWriter.h"

#include "StateFolder.h"

#include <cstdio>

namespace emulator
{
namespace
{

constexpr char LogFileName[] = "calls.log";

std::string FormatArgument(const LoggedArgument& argument)
{
    char text[32];
    if (argument.format == LoggedArgument::Format::Hex)
    {
        std::snprintf(text, sizeof text, "0x%llX", argument.value);
    }
    else
    {
        std::snprintf(text, sizeof text, "%llu", argument.value);
    }
    return text;
}

// Append-only access makes each WriteFile land at the current end, whoever else appends; the
// sharing lets others read, append to, rename or delete the log meanwhile.
HANDLE OpenForAppending(const std::string& stateFolder)
{
    const std::string path = PathInFolder(stateFolder, LogFileName);
    return CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteLine(HANDLE file, const std::string& line)
{
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

long long MicrosecondsNow()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    // Split so the multiplication cannot overflow after a long uptime.
    const long long seconds = counter.QuadPart / frequency.QuadPart;
    const long long remainder = counter.QuadPart % frequency.QuadPart;
    return seconds * 1000000 + remainder * 1000000 / frequency.QuadPart;
}

std::string FormatCallLine(const CallSite& site, std::initializer_list<LoggedArgument> arguments, int result)
{
    std::string line = std::to_string(site.enteredMicroseconds);
    line += ' ';
    line += site.library;
    line += ' ';
    line += site.function;
    for (const LoggedArgument& argument : arguments)
    {
        line += ' ';
        line += FormatArgument(argument);
    }
    line += " -> ";
    line += std::to_string(result);
    line += "\r\n";
    return line;
}

void CallLog::Hold(const std::string& stateFolder)
{
    m_held.Reset(OpenForAppending(stateFolder));
}

void CallLog::Append(const std::string& line) noexcept
{
    try
    {
        if (m_held.IsValid())
        {
            WriteLine(m_held.Get(), line);
            return;
        }
        const std::string folder = StateFolderPath();
        if (!EnsureFolderExists(folder))
        {
            return;
        }
        const FileHandle file(OpenForAppending(folder));
        if (file.IsValid())
        {
            WriteLine(file.Get(), line);
        }
    }
    catch (...)
    {
    }
}

}  // namespace emulator
