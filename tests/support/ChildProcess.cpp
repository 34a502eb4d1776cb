#include "ChildProcess.h"

#include <stdexcept>

#include "TemporaryFolder.h"

namespace
{
// Quoted as the C runtime splits a command line: backslashes count only before a quote.
std::string QuotedArgument(const std::string& argument)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char character : argument)
    {
        if (character == '\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(character == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path);
    return file;
}
}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      DWORD timeoutMilliseconds)
{
    // Files, not pipes: a program that fills one stream while nobody reads
    // it cannot block.
    TemporaryFolder streams("kelvra-streams");
    std::string commandLine = QuotedArgument(program);
    for (const std::string& argument : arguments)
        commandLine += " " + QuotedArgument(argument);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = InheritableFile(streams.PathOf("out"));
    startup.hStdError = InheritableFile(streams.PathOf("err"));
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    if (!started)
        throw std::runtime_error("cannot start " + program);
    CloseHandle(process.hThread);

    const bool ended = WaitForSingleObject(process.hProcess, timeoutMilliseconds) == WAIT_OBJECT_0;
    ProgramRun run;
    if (ended)
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    else
    {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
    if (!ended)
        throw std::runtime_error(program + " did not end in time");
    run.out = streams.ReadFile("out");
    run.err = streams.ReadFile("err");
    return run;
}
