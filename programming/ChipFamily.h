// The chip families, one definition for every program: Kelvra, kelvra-cli,
// the station and the automation client that drives Kelvra's window.
#pragma once

#include <string>

// In the order of Kelvra's radio buttons VT-A, VT-B, VT-C.
enum class ChipFamily
{
    A,
    B,
    C,
};

// "VT-A", "VT-B" or "VT-C", as on Kelvra's radio button.
constexpr const char* ChipFamilyName(ChipFamily family)
{
    return family == ChipFamily::A ? "VT-A" : family == ChipFamily::B ? "VT-B" : "VT-C";
}

// A family as a person types it: A, B or C, with or without "VT-", in
// either case. False for any other text.
bool ParseFamily(const std::string& text, ChipFamily& family);
