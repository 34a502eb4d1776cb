#include "StateFolder.h"

#include <windows.h>

namespace emulator
{
namespace
{

constexpr char OverrideVariable[] = "KELVRA_EMULATOR_DIR";
constexpr char DefaultFolderName[] = "KelvraEmulator";

std::string EnvironmentValue(const char* name)
{
    const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
    if (needed == 0)
    {
        return {};
    }
    std::string value(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), needed);
    if (length == 0 || length >= needed)
    {
        return {};
    }
    value.resize(length);
    return value;
}

std::string TemporaryFolder()
{
    char buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > MAX_PATH)
    {
        return {};
    }
    return std::string(buffer, length);
}

bool IsSeparator(char character)
{
    return character == '\\' || character == '/';
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string StateFolderPath()
{
    const std::string overridden = EnvironmentValue(OverrideVariable);
    if (!overridden.empty())
    {
        return overridden;
    }
    const std::string temporary = TemporaryFolder();
    if (temporary.empty())
    {
        return {};
    }
    return PathInFolder(temporary, DefaultFolderName);
}

std::string PathInFolder(const std::string& folder, const std::string& fileName)
{
    if (!folder.empty() && IsSeparator(folder.back()))
    {
        return folder + fileName;
    }
    return folder + '\\' + fileName;
}

bool EnsureFolderExists(const std::string& folder)
{
    if (folder.empty())
    {
        return false;
    }
    if (IsFolder(folder))
    {
        return true;
    }
    // Parents first; the attempts on a drive ("C:") or an existing parent fail harmlessly.
    for (std::string::size_type end = 1; end < folder.size(); ++end)
    {
        if (IsSeparator(folder[end]) && !IsSeparator(folder[end - 1]))
        {
            CreateDirectoryA(folder.substr(0, end).c_str(), nullptr);
        }
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    return IsFolder(folder);
}

}  // namespace emulator
