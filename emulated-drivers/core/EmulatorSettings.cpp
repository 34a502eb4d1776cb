#include "EmulatorSettings.h"

#include "StateFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace emulator
{
namespace
{

constexpr char IniFileName[] = "emulator.ini";
constexpr char EmulatorSection[] = "Emulator";
constexpr long long LargestChipSize = 64 * 1024;
// The most a profile section call returns on every Windows version.
constexpr DWORD LargestSection = 32767;

std::optional<long long> ParseWholeNumber(const std::string& text)
{
    if (text.empty())
    {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
    {
        return std::nullopt;
    }
    return value;
}

std::string Trimmed(const char* begin, const char* end)
{
    while (begin < end && (*begin == ' ' || *begin == '\t'))
    {
        ++begin;
    }
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
    {
        --end;
    }
    // Quotes around a value are dropped, as GetPrivateProfileString drops them.
    if (end - begin >= 2 && (*begin == '"' || *begin == '\'') && end[-1] == *begin)
    {
        ++begin;
        --end;
    }
    return std::string(begin, end);
}

// The key=value entries of one section, read in a single call: one call per key would cost
// several times as much.
class ProfileSection
{
public:
    ProfileSection(const std::string& iniPath, const char* section) : m_entries(LargestSection)
    {
        GetPrivateProfileSectionA(section, m_entries.data(), LargestSection, iniPath.c_str());
    }

    // Keys are case-insensitive; the first entry of the key counts. An empty or misspelt value
    // is no setting (GetPrivateProfileInt would make it 0, a valid word index).
    std::optional<long long> Number(const char* key) const
    {
        for (const char* entry = m_entries.data(); *entry != '\0'; entry += std::strlen(entry) + 1)
        {
            const char* equals = std::strchr(entry, '=');
            if (equals != nullptr && _stricmp(Trimmed(entry, equals).c_str(), key) == 0)
            {
                return ParseWholeNumber(Trimmed(equals + 1, equals + std::strlen(equals)));
            }
        }
        return std::nullopt;
    }

    bool Flag(const char* key) const
    {
        const std::optional<long long> value = Number(key);
        return value.has_value() && *value != 0;
    }

private:
    std::vector<char> m_entries;
};

}  // namespace

EmulatorSettings::EmulatorSettings(const std::string& stateFolder, const char* librarySection)
{
    const std::string ini = PathInFolder(stateFolder, IniFileName);
    m_allDevicesPresent = ProfileSection(ini, EmulatorSection).Flag("AllDevicesPresent");
    const ProfileSection library(ini, librarySection);
    m_failOpen = library.Flag("FailOpen");
    m_failOpens = library.Number("FailOpens");
    m_failWriteWord = library.Number("FailWriteWord");
    m_failReadWord = library.Number("FailReadWord");
    m_failBurn = library.Flag("FailBurn");
    m_failBurnRead = library.Flag("FailBurnRead");
    m_failBurnWrite = library.Flag("FailBurnWrite");
    m_corruptReadOffset = library.Number("CorruptReadOffset");
    m_chipSize = library.Number("ChipSize");
}

bool EmulatorSettings::TakeFailedOpen(const std::string& stateFolder, const char* librarySection) const
{
    if (!m_failOpens.has_value() || *m_failOpens <= 0)
    {
        return false;
    }
    const std::string left = std::to_string(*m_failOpens - 1);
    WritePrivateProfileStringA(librarySection, "FailOpens", left.c_str(),
                               PathInFolder(stateFolder, IniFileName).c_str());
    return true;
}

bool EmulatorSettings::FailsBurn(DWORD direction) const
{
    return m_failBurn || (direction == 0 ? m_failBurnRead : m_failBurnWrite);
}

std::optional<std::size_t> EmulatorSettings::CorruptReadOffset() const
{
    if (!m_corruptReadOffset.has_value() || *m_corruptReadOffset < 0)
    {
        return std::nullopt;
    }
    return static_cast<std::size_t>(*m_corruptReadOffset);
}

std::size_t EmulatorSettings::ChipSize(std::size_t fallback) const
{
    if (!m_chipSize.has_value())
    {
        return fallback;
    }
    // A size no chip has leaves no usable chip rather than quietly using the default.
    if (*m_chipSize <= 0 || *m_chipSize > LargestChipSize)
    {
        return 0;
    }
    return static_cast<std::size_t>(*m_chipSize);
}

}  // namespace emulator
