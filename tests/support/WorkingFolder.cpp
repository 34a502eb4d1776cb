#include "WorkingFolder.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace
{
std::string CurrentDirectory()
{
    char path[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

}  // namespace

std::string NewTemporaryFolder(const std::string& prefix)
{
    char temporary[MAX_PATH] = {};
    GetTempPathA(sizeof temporary, temporary);
    static unsigned sequence = 0;
    for (int attempt = 0; attempt < 1000; ++attempt)
    {
        std::ostringstream name;
        name << temporary << prefix << "-" << GetCurrentProcessId() << "-" << ++sequence;
        if (CreateDirectoryA(name.str().c_str(), nullptr))
            return name.str();
    }
    throw std::runtime_error("cannot create a temporary folder");
}

void RemoveFolderTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(child);
            else
            {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

WorkingFolder::WorkingFolder() : m_previousDirectory(CurrentDirectory()), m_path(NewTemporaryFolder("kelvra-test"))
{
    SetCurrentDirectoryA(m_path.c_str());
}

WorkingFolder::~WorkingFolder()
{
    SetCurrentDirectoryA(m_previousDirectory.c_str());
    RemoveFolderTree(m_path);
}

void WorkingFolder::WriteFile(const std::string& name, const std::string& contents) const
{
    std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
    file << contents;
}

std::string WorkingFolder::ReadFile(const std::string& name) const
{
    std::ifstream file(PathOf(name), std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}
