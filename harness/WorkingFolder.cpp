#include "WorkingFolder.h"

#include <filesystem>

WorkingFolder::WorkingFolder() : m_previousDirectory(std::filesystem::current_path().string())
{
    std::filesystem::current_path(Path());
}

WorkingFolder::~WorkingFolder()
{
    // A folder that is the current directory cannot be removed.
    std::error_code ignored;
    std::filesystem::current_path(m_previousDirectory, ignored);
}
