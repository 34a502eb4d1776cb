#include "Json.h"

#include "Digits.h"

namespace
{
// keepUtf8: bytes from 0x80 up are UTF-8 and kept; otherwise each is a code point.
std::string Quoted(const std::string& bytes, bool keepUtf8)
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
        else if ((byte >= 0x20 && byte <= 0x7E) || (keepUtf8 && byte >= 0x80))
        {
            json += character;
        }
        else
        {
            json += "\\u" + Digits::Hex(byte, 4);
        }
    }
    return json + "\"";
}
}  // namespace

std::string JsonString(const std::string& bytes)
{
    return Quoted(bytes, false);
}

std::string JsonText(const std::string& text)
{
    return Quoted(text, true);
}

std::string JsonField(const char* name, const std::string& value)
{
    return std::string(",\"") + name + "\":" + value;
}

std::string JsonObject(const std::string& fields)
{
    return "{" + (fields.empty() ? fields : fields.substr(1)) + "}";
}
