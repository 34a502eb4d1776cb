#include "Deadline.h"

#include <algorithm>
#include <thread>

namespace KelvraAutomation
{

bool WaitUntil(const std::function<bool()>& condition, Milliseconds budget, Milliseconds pollInterval)
{
    const Deadline deadline(budget);
    for (;;)
    {
        if (condition())
        {
            return true;
        }
        if (deadline.Passed())
        {
            return false;
        }
        std::this_thread::sleep_for(std::min(pollInterval, deadline.Remaining()));
    }
}

}  // namespace KelvraAutomation
