#include "ChipFamily.h"

bool ParseFamily(const std::string& text, ChipFamily& family)
{
    size_t letterAt = 0;
    if (text.size() == 4 && (text[0] | 0x20) == 'v' && (text[1] | 0x20) == 't' && text[2] == '-')
    {
        letterAt = 3;
    }
    if (text.size() != letterAt + 1)
    {
        return false;
    }
    switch (text[letterAt] | 0x20)
    {
    case 'a':
        family = ChipFamily::A;
        return true;
    case 'b':
        family = ChipFamily::B;
        return true;
    case 'c':
        family = ChipFamily::C;
        return true;
    default:
        return false;
    }
}
