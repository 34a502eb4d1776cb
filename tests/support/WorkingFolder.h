// A fresh, empty folder that is the current directory for one test, and is
// removed afterwards, so no test sees another's settings or images.
#pragma once

#include <string>

class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const { return m_path + "\\" + name; }

    void WriteFile(const std::string& name, const std::string& contents) const;
    std::string ReadFile(const std::string& name) const;

private:
    std::string m_previousDirectory;
    std::string m_path;
};

// A new empty folder under the temporary folder, named prefix-<process>-<n>.
std::string NewTemporaryFolder(const std::string& prefix);
// Removes a folder and everything in it, whatever the names and lengths inside.
void RemoveFolderTree(const std::string& path);
// Text in the ANSI code page, widened.
std::wstring WideFromAnsi(const std::string& text);
