// A new empty folder under the system's temporary folder, removed with
// everything in it when the object goes, so no test sees another's files.
#pragma once

#include <string>

class TemporaryFolder
{
public:
    // Named <prefix>-<random>-<n>.
    explicit TemporaryFolder(const std::string& prefix = "kelvra-test");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const;

    // Throws when the file cannot be written or read.
    void WriteFile(const std::string& name, const std::string& contents) const;
    std::string ReadFile(const std::string& name) const;

private:
    std::string m_path;
};
