#pragma once

#include "DriverExports.h"
#include "EmulatedDriverFolders.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

// Wine's virtual mouse and keyboard: HID devices present under every Wine.
constexpr DWORD WineMouseKey = 0x845E0001;
constexpr DWORD WineKeyboardKey = 0x845E0002;
// Identifiers no attached device has.
constexpr DWORD AbsentDeviceKey = 0x12345678;

// Never dereferenced by the libraries; only logged.
inline HWND TestWindow()
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
}

// A fresh state folder named by KELVRA_EMULATOR_DIR while it lives; removed with its files.
class ScratchStateFolder
{
public:
    ScratchStateFolder();
    ~ScratchStateFolder();
    ScratchStateFolder(const ScratchStateFolder&) = delete;
    ScratchStateFolder& operator=(const ScratchStateFolder&) = delete;

    const std::string& Path() const { return m_folder.Path(); }
    std::string FilePath(const std::string& fileName) const;
    bool HasFile(const std::string& fileName) const;
    std::vector<BYTE> FileBytes(const std::string& fileName) const;
    void SetFileBytes(const std::string& fileName, const std::vector<BYTE>& bytes) const;
    // True while some handle may write the file: opening it for reading without letting others
    // write meets a sharing violation.
    bool IsOpenForWriting(const std::string& fileName) const;
    void SetSetting(const char* section, const char* key, const std::string& value) const;

private:
    TemporaryFolder m_folder{"kelvra-emulator-test"};
};

// A library loaded by full path, unloaded when destroyed.
class LoadedLibrary
{
public:
    explicit LoadedLibrary(std::string path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool IsLoaded() const { return m_module != nullptr; }
    bool Exports(const char* name) const;
    // Unloads and loads again: the library starts over with nothing open.
    void Reload();

    template <typename Function, typename... Arguments> int Call(const char* name, Arguments... arguments) const
    {
        // Through void (*)() so the cast from FARPROC raises no function-type warning.
        const auto function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
        if (function == nullptr)
        {
            ADD_FAILURE() << m_path << " has no export " << name;
            return -1;
        }
        return function(arguments...);
    }

private:
    std::string m_path;
    HMODULE m_module;
};

std::string LibraryPath(const std::string& folder, const std::string& library);

// VT_HIDA called as Kelvra calls it.
class Family0Driver
{
public:
    Family0Driver();
    LoadedLibrary& Library() { return m_library; }
    int Open(DWORD deviceKey) const;
    int Write(DWORD wordIndex, DWORD word) const;
    int Read(DWORD wordIndex, WORD* slot) const;
    int Close() const;

private:
    LoadedLibrary m_library;
};

// VT_HIDB or VT_HIDC called as Kelvra calls them.
class BurnDriver
{
public:
    explicit BurnDriver(const std::string& library);
    LoadedLibrary& Library() { return m_library; }
    int Open(DWORD deviceKey) const;
    int SetSize(DWORD sizeInBytes, DWORD mode = 1) const;
    int Burn(DWORD direction, BYTE* buffer, DWORD sizeInBytes) const;
    int Close() const;

private:
    LoadedLibrary m_library;
};

// Bytes 0, 1, 2, ... wrapping at 251 so no two chip pages look alike.
std::vector<BYTE> PatternBytes(std::size_t count, BYTE seed = 0);
