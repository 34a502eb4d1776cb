#include "CommandLine.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

namespace KelvraAutomation
{

namespace
{

// Longer than this is surely a slip of the finger, and would overflow a DWORD wait.
constexpr double LongestWaitSeconds = 3600;

const std::map<std::string, Command> CommandNames = {
    {"wait-ready", Command::WaitReady},
    {"devices", Command::Devices},
    {"family", Command::Family},
    {"size", Command::Size},
    {"browse", Command::Browse},
    {"browse-cancel", Command::BrowseCancel},
    {"path", Command::Path},
    {"write", Command::Write},
    {"verify", Command::Verify},
    {"messages", Command::Messages},
    {"buttons", Command::Buttons},
    {"device-change", Command::DeviceChange},
    {"exit", Command::Exit},
};

bool IsDigits(const std::string& text)
{
    if (text.empty())
    {
        return false;
    }
    for (char character : text)
    {
        if (!std::isdigit(static_cast<unsigned char>(character)))
        {
            return false;
        }
    }
    return true;
}

bool IsNumber(const std::string& text)
{
    if (text.empty())
    {
        return false;
    }
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// Reads the arguments one by one and knows which command it is reading for.
class ArgumentReader
{
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : m_arguments(arguments) {}

    bool AtEnd() const { return m_next >= m_arguments.size(); }
    const std::string& Peek() const { return m_arguments[m_next]; }
    bool NextIs(const std::string& text) const { return !AtEnd() && Peek() == text; }
    bool NextIsNumber() const { return !AtEnd() && IsNumber(Peek()); }

    std::string Take(const std::string& what)
    {
        if (AtEnd())
        {
            throw UsageError(m_command + " needs " + what);
        }
        return m_arguments[m_next++];
    }

    void SetCommand(const std::string& command) { m_command = command; }
    const std::string& CommandName() const { return m_command; }

private:
    const std::vector<std::string>& m_arguments;
    size_t m_next = 0;
    std::string m_command = "kelvra-automation";
};

Milliseconds ParseSeconds(const std::string& text, const std::string& command)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > LongestWaitSeconds)
    {
        throw UsageError(command + ": \"" + text + "\" is not a number of seconds between 0 and 3600");
    }
    return Milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

DWORD ParseProcessId(const std::string& text)
{
    if (!IsDigits(text) || text.size() > 9 || std::strtoul(text.c_str(), nullptr, 10) == 0)
    {
        throw UsageError("--pid: \"" + text + "\" is not a process id");
    }
    return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
}

ChipFamily FamilyOf(const std::string& text)
{
    ChipFamily family = ChipFamily::A;
    if (!ParseFamily(text, family))
    {
        throw UsageError("family: \"" + text + "\" is not A, B or C");
    }
    return family;
}

DeviceEvent ParseDeviceEvent(const std::string& text)
{
    if (text == "arrival")
    {
        return DeviceEvent::Arrival;
    }
    if (text == "removal")
    {
        return DeviceEvent::Removal;
    }
    throw UsageError("device-change: \"" + text + "\" is not arrival or removal");
}

bool IsNotificationKind(const std::string& text)
{
    return text == "hid" || text == "other-class" || text == "other-type";
}

NotificationKind ParseNotificationKind(const std::string& text)
{
    if (text == "other-class")
    {
        return NotificationKind::OtherClass;
    }
    if (text == "other-type")
    {
        return NotificationKind::OtherType;
    }
    return NotificationKind::Hid;
}

// "--timeout <seconds>" and, for write, "--auto-verify", in any order.
void ReadOperationOptions(ArgumentReader& reader, Step& step, bool autoVerifyAllowed)
{
    for (;;)
    {
        if (reader.NextIs("--timeout"))
        {
            reader.Take("--timeout");
            step.timeout = ParseSeconds(reader.Take("a number of seconds after --timeout"), step.name);
        }
        else if (autoVerifyAllowed && reader.NextIs("--auto-verify"))
        {
            reader.Take("--auto-verify");
            step.autoVerify = true;
        }
        else
        {
            return;
        }
    }
}

void ReadArguments(ArgumentReader& reader, Step& step)
{
    switch (step.command)
    {
    case Command::WaitReady:
        if (reader.NextIsNumber())
        {
            step.timeout = ParseSeconds(reader.Take("seconds"), step.name);
        }
        break;
    case Command::Family:
        step.family = FamilyOf(reader.Take("A, B or C"));
        break;
    case Command::Size:
        step.text = reader.Take("a row number or the row's text");
        if (IsDigits(step.text) && step.text.size() < 4)
        {
            step.sizeIndex = std::atoi(step.text.c_str());
        }
        break;
    case Command::Browse:
        step.text = reader.Take("a file path");
        if (step.text.empty())
        {
            throw UsageError("browse: the file path is empty");
        }
        break;
    case Command::Write:
        ReadOperationOptions(reader, step, true);
        break;
    case Command::Verify:
    case Command::Exit:
        ReadOperationOptions(reader, step, false);
        break;
    case Command::DeviceChange:
        step.event = ParseDeviceEvent(reader.Take("arrival or removal"));
        if (!reader.AtEnd() && IsNotificationKind(reader.Peek()))
        {
            step.notification = ParseNotificationKind(reader.Take("a notification kind"));
        }
        break;
    case Command::Devices:
    case Command::BrowseCancel:
    case Command::Path:
    case Command::Messages:
    case Command::Buttons:
        break;
    }
}

void ReadGlobalOptions(ArgumentReader& reader, Invocation& invocation)
{
    while (!reader.AtEnd() && reader.Peek().rfind("-", 0) == 0)
    {
        const std::string option = reader.Take("an option");
        if (option == "--help" || option == "-h")
        {
            invocation.help = true;
        }
        else if (option == "--pid")
        {
            invocation.processId = ParseProcessId(reader.Take("a process id after --pid"));
        }
        else
        {
            throw UsageError("unknown option \"" + option + "\"");
        }
    }
}

}  // namespace

Invocation ParseInvocation(const std::vector<std::string>& arguments)
{
    Invocation invocation;
    ArgumentReader reader(arguments);
    ReadGlobalOptions(reader, invocation);
    while (!reader.AtEnd())
    {
        const std::string name = reader.Take("a command");
        const auto known = CommandNames.find(name);
        if (known == CommandNames.end())
        {
            throw UsageError("unknown command \"" + name + "\"");
        }
        Step step;
        step.command = known->second;
        step.name = name;
        reader.SetCommand(name);
        ReadArguments(reader, step);
        invocation.steps.push_back(step);
    }
    if (invocation.steps.empty() && !invocation.help)
    {
        throw UsageError("no command given");
    }
    return invocation;
}

std::string UsageText()
{
    return "usage: kelvra-automation [--pid <id>] <command> [arguments] [<command> [arguments]]...\n"
           "Drives a running Kelvra through its window; the commands run in order, and the\n"
           "first that fails stops the run with one line on stderr and exit status 1.\n"
           "\n"
           "  wait-ready [seconds]         wait for Kelvra's window to answer (default 20)\n"
           "  devices                      print the device list; '*' marks the selected entry\n"
           "  family A|B|C                 click VT-A, VT-B or VT-C\n"
           "  size <row>|<text>            choose an EEPROM size by row (0-3) or by its text\n"
           "  browse <path>                press \"...\", type the path, confirm the Open dialog\n"
           "  browse-cancel                press \"...\" and cancel the Open dialog\n"
           "  path                         print the image path\n"
           "  write [--auto-verify] [--timeout <s>]\n"
           "                               press Write and print the line that ended it; with\n"
           "                               --auto-verify wait for the verify that follows\n"
           "  verify [--timeout <s>]       press Verify and print the line that ended it\n"
           "  messages                     print every line of the message list\n"
           "  buttons                      print whether Write and Verify are enabled\n"
           "  device-change arrival|removal [hid|other-class|other-type]\n"
           "                               send a device-interface notification (default hid)\n"
           "  exit [--timeout <s>]         press Exit and wait for Kelvra to end\n"
           "\n"
           "  --pid <id>                   drive the Kelvra window of this process\n";
}

}  // namespace KelvraAutomation
