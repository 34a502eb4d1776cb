// A fresh, empty folder that is the current directory for one test, and is
// removed afterwards, so no test sees another's settings or images.
#pragma once

#include "TemporaryFolder.h"

class WorkingFolder : public TemporaryFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();

private:
    std::string m_previousDirectory;
};
