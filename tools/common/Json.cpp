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
        {
            json += character;
        }
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            json += escaped;
        }
    }
    return json + "\"";
}

std::string JsonField(const char* name, const std::string& value)
{
    return std::string(",\"") + name + "\":" + value;
}

std::string JsonObject(const std::string& fields)
{
    return "{" + (fields.empty() ? fields : fields.substr(1)) + "}";
}
