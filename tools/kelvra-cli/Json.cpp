#include "Json.h"

#include <cstdio>

std::string JsonString(const std::string& bytes)
{
    std::string json = "\"";
    for (char character : bytes)
    {
        const unsigned char byte = static_cast<unsigned char>(character);
        if (byte == '"' || byte == '\\')
        {
            json += '\\';
            json += character;
        }
        else if (byte >= 0x20 && byte <= 0x7E)
            json += character;
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            json += escaped;
        }
    }
    return json + "\"";
}

std::string JsonHex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%0*x\"", digits, value);
    return text;
}
