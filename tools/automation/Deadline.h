// Bounded waiting: every wait of the client has a budget and polls.
#pragma once

#include <chrono>
#include <functional>

namespace KelvraAutomation
{

using Milliseconds = std::chrono::milliseconds;

class Deadline
{
public:
    explicit Deadline(Milliseconds budget) : m_end(std::chrono::steady_clock::now() + budget) {}

    bool Passed() const { return std::chrono::steady_clock::now() >= m_end; }

    Milliseconds Remaining() const
    {
        const auto left = std::chrono::duration_cast<Milliseconds>(m_end - std::chrono::steady_clock::now());
        return left.count() > 0 ? left : Milliseconds(0);
    }

private:
    std::chrono::steady_clock::time_point m_end;
};

// Checks the condition every pollInterval until it holds or the budget is
// spent; true when it held. The condition is checked at least once.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds budget, Milliseconds pollInterval);

}  // namespace KelvraAutomation
