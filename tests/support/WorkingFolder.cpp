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

// Wide and in the extended form, so names of any script and length go too.
void RemoveExtendedFolderTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveExtendedFolderTree(child);
            else
            {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}
}  // namespace

std::wstring WideFromAnsi(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

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
    char full[MAX_PATH] = {};
    if (GetFullPathNameA(path.c_str(), sizeof full, full, nullptr) == 0)
        return;
    RemoveExtendedFolderTree(L"\\\\?\\" + WideFromAnsi(full));
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
