// VT-A images for Wine's HID device 845e/0001 and the lines Kelvra lists
// for them, written out here by hand so that they check Kelvra's own
// decoding rather than repeat it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "KelvraTexts.h"

// 128 bytes: the header word, the vendor and product identifiers, then the
// serial number, product and manufacturer fields, each a length byte 2 + 2n
// and n characters.
inline std::string IdentityImage(std::uint16_t header, std::uint16_t vendor, std::uint16_t productId,
                                 const std::string& product, const std::string& manufacturer, const std::string& serial)
{
    if (serial.size() > 13 || product.size() > 31 || manufacturer.size() > 75)
    {
        throw std::invalid_argument("string too long for its field");
    }
    std::string image(128, '\0');
    const auto putWord = [&image](size_t offset, std::uint16_t word)
    {
        image[offset] = static_cast<char>(word & 0xFF);
        image[offset + 1] = static_cast<char>(word >> 8);
    };
    putWord(0, header);
    putWord(2, vendor);
    putWord(4, productId);
    const auto putField = [&image](size_t offset, const std::string& text)
    {
        image[offset] = static_cast<char>(2 + 2 * text.size());
        image.replace(offset + 1, text.size(), text);
    };
    putField(6, serial);
    putField(20, product);
    putField(52, manufacturer);
    return image;
}

// The same for Wine's HID device 845e/0001.
inline std::string IdentityImage(std::uint16_t header, const std::string& product, const std::string& manufacturer,
                                 const std::string& serial)
{
    return IdentityImage(header, 0x845e, 0x0001, product, manufacturer, serial);
}

// The message list after a verify of an identity image whose header marks
// all three strings present.
inline std::vector<std::string> VerifiedIdentity(const std::string& product, const std::string& manufacturer,
                                                 const std::string& serial)
{
    return {KelvraText::Verifying,
            KelvraText::VerifySuccess,
            "",
            "VID:0x845e",
            "PID:0x0001",
            "Product String:" + product,
            "Manufacture String:" + manufacturer,
            "Serial Number:" + serial};
}
