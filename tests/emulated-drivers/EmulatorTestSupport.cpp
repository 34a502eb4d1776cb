#include "EmulatorTestSupport.h"

#include <fstream>
#include <iterator>
#include <utility>

namespace
{

constexpr char StateFolderVariable[] = "KELVRA_EMULATOR_DIR";

}  // namespace

ScratchStateFolder::ScratchStateFolder()
{
    SetEnvironmentVariableA(StateFolderVariable, Path().c_str());
}

ScratchStateFolder::~ScratchStateFolder()
{
    SetEnvironmentVariableA(StateFolderVariable, nullptr);
}

std::string ScratchStateFolder::FilePath(const std::string& fileName) const
{
    return m_folder.PathOf(fileName);
}

bool ScratchStateFolder::HasFile(const std::string& fileName) const
{
    return GetFileAttributesA(FilePath(fileName).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<BYTE> ScratchStateFolder::FileBytes(const std::string& fileName) const
{
    std::ifstream file(FilePath(fileName), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void ScratchStateFolder::SetFileBytes(const std::string& fileName, const std::vector<BYTE>& bytes) const
{
    std::ofstream file(FilePath(fileName), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
    {
        ADD_FAILURE() << "cannot write " << fileName;
    }
}

bool ScratchStateFolder::IsOpenForWriting(const std::string& fileName) const
{
    const HANDLE file = CreateFileA(FilePath(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(file);
    return false;
}

void ScratchStateFolder::SetSetting(const char* section, const char* key, const std::string& value) const
{
    if (!WritePrivateProfileStringA(section, key, value.c_str(), FilePath("emulator.ini").c_str()))
    {
        ADD_FAILURE() << "cannot write setting " << key;
    }
}

LoadedLibrary::LoadedLibrary(std::string path) : m_path(std::move(path)), m_module(LoadLibraryA(m_path.c_str())) {}

LoadedLibrary::~LoadedLibrary()
{
    if (m_module != nullptr)
    {
        FreeLibrary(m_module);
    }
}

bool LoadedLibrary::Exports(const char* name) const
{
    return m_module != nullptr && GetProcAddress(m_module, name) != nullptr;
}

void LoadedLibrary::Reload()
{
    if (m_module != nullptr)
    {
        FreeLibrary(m_module);
    }
    m_module = LoadLibraryA(m_path.c_str());
}

std::string LibraryPath(const std::string& folder, const std::string& library)
{
    return folder + "\\" + library + ".dll";
}

Family0Driver::Family0Driver() : m_library(LibraryPath(EmulatedDriversFolder, "VT_HIDA")) {}

int Family0Driver::Open(DWORD deviceKey) const
{
    return m_library.Call<StartDeviceDetectionFunction>("StartDeviceDetection", TestWindow(), 0ul, 0ul, 0ul, 0ul, 0ul,
                                                        0ul, 0ul, 0ul, 0ul, DWORD{HIWORD(deviceKey)}, deviceKey);
}

int Family0Driver::Write(DWORD wordIndex, DWORD word) const
{
    return m_library.Call<WriteEEPROMFunction>("WriteEEPROM", wordIndex, word);
}

int Family0Driver::Read(DWORD wordIndex, WORD* slot) const
{
    return m_library.Call<ReadEEPROMFunction>("ReadEEPROM", wordIndex, slot);
}

int Family0Driver::Close() const
{
    return m_library.Call<CloseDeviceFunction>("CloseDevice");
}

BurnDriver::BurnDriver(const std::string& library) : m_library(LibraryPath(EmulatedDriversFolder, library)) {}

int BurnDriver::Open(DWORD deviceKey) const
{
    return m_library.Call<rmDeviceStartFunction>("rmDeviceStart", DWORD{HIWORD(deviceKey)}, deviceKey, TestWindow(),
                                                 0ul, 0ul, 0ul);
}

int BurnDriver::SetSize(DWORD sizeInBytes, DWORD mode) const
{
    return m_library.Call<rmSetEEPROMSizeFunction>("rmSetEEPROMSize", mode, sizeInBytes);
}

int BurnDriver::Burn(DWORD direction, BYTE* buffer, DWORD sizeInBytes) const
{
    return m_library.Call<rmBurnEEPROMFunction>("rmBurnEEPROM", direction, 0ul, buffer, sizeInBytes);
}

int BurnDriver::Close() const
{
    return m_library.Call<rmDeviceCloseFunction>("rmDeviceClose");
}

std::vector<BYTE> PatternBytes(std::size_t count, BYTE seed)
{
    std::vector<BYTE> bytes(count);
    for (std::size_t index = 0; index < count; ++index)
    {
        bytes[index] = static_cast<BYTE>((index + seed) % 251);
    }
    return bytes;
}
