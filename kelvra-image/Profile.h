// The image profile: an INI file whose [IMAGE] section names the identity
// to build, for example
//
//   [IMAGE]
//   VID=845e
//   PID=0001
//   PRODUCT=Sensor Hub
//   MANUFACTURER=Example Works
//   SERIAL=SN0001
//
// Section and key names match without regard to case, like Kelvra's own
// settings file. Lines starting with ';' or '#' are comments, and so is the
// rest of a line from a ';' that begins a value or follows a blank, on every
// key alike (Text::IniValue), as in the README's Kelvra.ini. Blanks around
// keys and values are dropped; a value in double quotes is the text between
// them, so a string can keep its own blanks or " ;". Other sections are
// ignored, so the profile may live in Kelvra's settings file.
#pragma once

#include "Result.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Profile
{

constexpr const char* SectionName = "IMAGE";

// Key (upper case) to value. Refuses a key not in allowedKeys (so a typo
// cannot drop a string silently), a key given twice, a line in the section
// that is not key=value, and a profile without the section. Errors read
// "line N: ...".
Result<std::map<std::string, std::string>> Parse(std::string_view text, const std::vector<std::string>& allowedKeys);

}  // namespace Profile
