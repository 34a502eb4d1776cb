#include "EmulatorSettings.h"

#include "StateFolder.h"

#include <cerrno>
#include <cstdlib>

namespace emulator {
namespace {

constexpr char IniFileName[] = "emulator.ini";
constexpr char EmulatorSection[] = "Emulator";
constexpr long long LargestChipSize = 64 * 1024;

std::optional<long long> ParseWholeNumber(const char* text) {
    if (*text == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 0);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

}  // namespace

EmulatorSettings::EmulatorSettings(const char* librarySection)
    : stateFolder_(StateFolderPath()),
      iniPath_(PathInFolder(stateFolder_, IniFileName)),
      librarySection_(librarySection) {}

// GetPrivateProfileIntA would turn an empty or misspelt value into 0, a valid word index.
std::optional<long long> EmulatorSettings::Number(const char* section, const char* key) const {
    if (stateFolder_.empty()) return std::nullopt;
    char text[64] = {};
    GetPrivateProfileStringA(section, key, "", text, sizeof text, iniPath_.c_str());
    return ParseWholeNumber(text);
}

bool EmulatorSettings::Flag(const char* section, const char* key) const {
    const std::optional<long long> value = Number(section, key);
    return value.has_value() && *value != 0;
}

bool EmulatorSettings::Equals(const char* key, DWORD value) const {
    const std::optional<long long> setting = Number(librarySection_, key);
    return setting.has_value() && *setting == static_cast<long long>(value);
}

bool EmulatorSettings::FailsOpen() const { return Flag(librarySection_, "FailOpen"); }

bool EmulatorSettings::FailsWriteOfWord(DWORD wordIndex) const {
    return Equals("FailWriteWord", wordIndex);
}

bool EmulatorSettings::FailsReadOfWord(DWORD wordIndex) const {
    return Equals("FailReadWord", wordIndex);
}

bool EmulatorSettings::FailsBurn(DWORD direction) const {
    if (Flag(librarySection_, "FailBurn")) return true;
    return Flag(librarySection_, direction == 0 ? "FailBurnRead" : "FailBurnWrite");
}

std::optional<std::size_t> EmulatorSettings::CorruptReadOffset() const {
    const std::optional<long long> offset = Number(librarySection_, "CorruptReadOffset");
    if (!offset.has_value() || *offset < 0) return std::nullopt;
    return static_cast<std::size_t>(*offset);
}

bool EmulatorSettings::AllDevicesPresent() const {
    return Flag(EmulatorSection, "AllDevicesPresent");
}

std::size_t EmulatorSettings::ChipSize(std::size_t fallback) const {
    const std::optional<long long> size = Number(librarySection_, "ChipSize");
    if (!size.has_value()) return fallback;
    // A size no chip has leaves no usable chip rather than quietly using the default.
    if (*size <= 0 || *size > LargestChipSize) return 0;
    return static_cast<std::size_t>(*size);
}

}  // namespace emulator
