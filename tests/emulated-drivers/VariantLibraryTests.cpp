// The variant libraries, each lacking exactly one export, and the build layout the tests of a
// missing export rely on.
#include "EmulatorTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct LibraryExports
{
    const char* library;
    std::vector<const char*> exports;
};

const std::vector<LibraryExports>& AllLibraries()
{
    static const std::vector<LibraryExports> libraries = {
        {"VT_HIDA", {"StartDeviceDetection", "WriteEEPROM", "ReadEEPROM", "CloseDevice"}},
        {"VT_HIDB", {"rmDeviceStart", "rmBurnEEPROM", "rmDeviceClose"}},
        {"VT_HIDC", {"rmDeviceStart", "rmSetEEPROMSize", "rmBurnEEPROM", "rmDeviceClose"}},
    };
    return libraries;
}

TEST(VariantLibraries, CompleteLibrariesHaveEveryExport)
{
    for (const LibraryExports& entry : AllLibraries())
    {
        LoadedLibrary library(LibraryPath(EmulatedDriversFolder, entry.library));
        ASSERT_TRUE(library.IsLoaded()) << entry.library;
        for (const char* name : entry.exports)
        {
            EXPECT_TRUE(library.Exports(name)) << name;
        }
    }
}

TEST(VariantLibraries, EachVariantLacksExactlyItsExport)
{
    for (const LibraryExports& entry : AllLibraries())
    {
        for (const char* missing : entry.exports)
        {
            const std::string path = LibraryPath(EmulatedDriversFolderMissing(missing), entry.library);
            LoadedLibrary library(path);
            ASSERT_TRUE(library.IsLoaded()) << path;
            for (const char* name : entry.exports)
            {
                EXPECT_EQ(library.Exports(name), std::string(name) != missing) << path << ": " << name;
            }
        }
    }
}

TEST(VariantLibraries, NoDriverLibrarySitsNextToTheTestProgram)
{
    char program[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    std::string folder = program;
    folder.erase(folder.find_last_of("\\/"));
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\VT_HID*.dll").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        ADD_FAILURE() << found.cFileName << " in " << folder << " would be found before SetDllDirectory's folder";
        FindClose(search);
    }
}

}  // namespace
