// The one kind of failure the automation client reports: a single line that
// says what did not happen, for a script's log.
#pragma once

#include <stdexcept>
#include <string>

namespace KelvraAutomation
{

class AutomationError : public std::runtime_error
{
public:
    explicit AutomationError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace KelvraAutomation
