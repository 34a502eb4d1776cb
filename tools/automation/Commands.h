// Runs the steps of one kelvra-automation call against Kelvra's window and
// prints what they read.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "KelvraAutomation.h"

namespace KelvraAutomation
{

class StepRunner
{
public:
    StepRunner(DWORD processId, std::ostream& out);

    void Run(const Step& step);

private:
    // The window is looked up at the first step that needs it, and again
    // after Exit has closed it.
    const KelvraWindow& Window();
    void WaitReady(const Step& step);
    void PrintDevices();
    void ChooseSize(const Step& step);
    void RunOperation(const Step& step);
    void PrintMessages();
    void PrintButtons();
    void SendDeviceChange(const Step& step);
    void Exit(const Step& step);

    DWORD m_processId;
    std::ostream& m_out;
    std::optional<KelvraWindow> m_window;
};

// The whole program: parses, runs, reports. Returns the exit status.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace KelvraAutomation
