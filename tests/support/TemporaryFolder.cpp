#include "TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

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

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
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
