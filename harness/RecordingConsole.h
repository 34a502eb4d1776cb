// kelvra-cli's console for a test: what it prints is kept, and its standard
// input is text given beforehand, one line per serial.
#pragma once

#include <string>

#include "Console.h"

class RecordingConsole final : public Console
{
public:
    void Out(const std::string& text) override { out += text; }
    void Err(const std::string& text) override { err += text; }
    bool ErrIsConsole() const override { return false; }
    bool InLine(std::string& line) override
    {
        if (input.empty())
        {
            return false;
        }
        const size_t end = input.find('\n');
        line = input.substr(0, end);
        input.erase(0, end == std::string::npos ? end : end + 1);
        return true;
    }

    std::string out;
    std::string err;
    std::string input;
};
