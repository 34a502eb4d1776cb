#include "TemporaryFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// Removes what it can of the folder and everything in it; true once it is gone.
bool RemoveTree(const fs::path& folder)
{
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
    {
        entries.push_back(*entry);
    }
    for (const fs::directory_entry& entry : entries)
    {
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
        {
            RemoveTree(entry.path());
        }
        else
        {
            fs::remove(entry.path(), ignored);
        }
    }
    fs::remove(folder, error);
    return !fs::exists(fs::symlink_status(folder, error));
}
}  // namespace

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    static unsigned sequence = 0;
    const std::string unique = prefix + "-" + std::to_string(std::random_device()()) + "-";
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const fs::path candidate = fs::temp_directory_path() / (unique + std::to_string(++sequence));
        if (fs::create_directory(candidate, error))
        {
            m_path = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder: " + error.message());
}

// Not fs::remove_all: under Wine it can spin for ever on a file still held
// open. A child's inherited handles may outlive the child briefly, so a file
// that cannot go yet gets a few more tries; after that it is left behind.
TemporaryFolder::~TemporaryFolder()
{
    for (int attempt = 0; attempt < 50 && !RemoveTree(m_path); ++attempt)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::string TemporaryFolder::PathOf(const std::string& name) const
{
    return (fs::path(m_path) / name).string();
}

void TemporaryFolder::WriteFile(const std::string& name, const std::string& contents) const
{
    std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
    if (!(file << contents) || !file.flush())
    {
        throw std::runtime_error("cannot write " + PathOf(name));
    }
}

std::string TemporaryFolder::ReadFile(const std::string& name) const
{
    std::ifstream file(PathOf(name), std::ios::binary);
    if (!file)
    {
        throw std::runtime_error("cannot read " + PathOf(name));
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}
