// The family-0 (VT-A) EEPROM image: 128 bytes, 64 words, each word
// little-endian. Kelvra decodes it after a successful VT-A verify;
// kelvra-image builds and checks image files with the same code, so the tool
// shows exactly what Kelvra will list.
//
//   bytes 0-1  header word: signature when (word & 0xFFF0) == 0x6700;
//              bit 0 product, bit 1 serial number, bit 2 manufacturer present
//   bytes 2-3  USB vendor identifier
//   bytes 4-5  USB product identifier
//   byte 6     serial number field    (length byte, then characters)
//   byte 20    product field
//   byte 52    manufacturer field
//
// A field's length byte L counts like a USB string descriptor: 2 + 2 per
// character, so it holds n = L / 2 - 1 characters of one byte each. n alone
// decides how many bytes are taken, even past the next field's start.
//
// Every decoder below reads only bytes 0 to 127 of the image it is given;
// positions beyond read as zero, and so does a null image pointer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Family0Image
{

constexpr std::size_t ImageSize = 128;
using Image = std::array<std::uint8_t, ImageSize>;

constexpr std::uint16_t SignatureMask = 0xFFF0;
constexpr std::uint16_t Signature = 0x6700;
constexpr std::size_t VendorIdOffset = 2;
constexpr std::size_t ProductIdOffset = 4;

// The most characters a length byte can count (L = 254 or 255).
constexpr std::size_t MaxCharacterCount = 126;

struct StringField
{
    const char* label;          // as Kelvra lists it; the characters follow directly
    std::uint16_t presenceBit;  // mask in the header word
    std::size_t wordOffset;     // the length byte is the low byte of this word
    std::size_t capacity;       // characters that fit before the next field or the image end
};

// Rows in the order Kelvra lists them, which is neither the order of the
// presence bits nor that of the fields in the image.
inline constexpr StringField StringFieldTable[3] = {
    {"Product String:", 0x0001, 10, 31},
    {"Manufacture String:", 0x0004, 26, 75},
    {"Serial Number:", 0x0002, 3, 13},
};
inline constexpr const StringField& ProductField = StringFieldTable[0];
inline constexpr const StringField& ManufacturerField = StringFieldTable[1];
inline constexpr const StringField& SerialNumberField = StringFieldTable[2];

constexpr std::size_t LengthByteOffset(const StringField& field)
{
    return 2 * field.wordOffset;
}

// First byte offset past the room the field has: the next field's length byte
// or the image end.
constexpr std::size_t RoomEnd(const StringField& field)
{
    return LengthByteOffset(field) + 1 + field.capacity;
}

// The byte at offset, or 0 beyond the image.
std::uint8_t ByteAt(const std::uint8_t* image128, std::size_t offset);

// The little-endian word starting at byteOffset.
std::uint16_t WordAt(const std::uint8_t* image128, std::size_t byteOffset);

std::uint16_t HeaderWord(const std::uint8_t* image128);

bool HasSignature(const std::uint8_t* image128);

bool IsPresent(const std::uint8_t* image128, const StringField& field);

// n for a length byte: L / 2 - 1, with L = 0 giving 0. L = 1 would give -1;
// it is mended to 0, so such a field lists its label alone.
std::size_t CharacterCount(std::uint8_t lengthByte);

// 2 + 2n. Only meaningful up to MaxCharacterCount; larger counts give 0xFF.
std::uint8_t LengthByteFor(std::size_t characterCount);

// The characters Kelvra appends for a field: the n bytes after the length
// byte, unchanged, except that zero bytes append nothing.
std::string FieldCharacters(const std::uint8_t* image128, const StringField& field);

// The n bytes after the field's length byte, zero bytes included.
std::string FieldBytes(const std::uint8_t* image128, const StringField& field);

// Gives the field of a 128-byte image these characters: length byte 2 + 2n,
// the characters, zeros for the rest of the field's room, and the field's
// presence bit set in the header word. Changes nothing and returns false when
// they do not fit the field's capacity.
bool ReplaceStringField(std::uint8_t* image128, const StringField& field, const std::string& characters);

// The lines of Kelvra's report: "VID:0x%04x", "PID:0x%04x", then one line per
// present field in table order. No lines at all without the signature.
std::vector<std::string> IdentityLines(const std::uint8_t* image128);

struct Identity
{
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::optional<std::string> product;  // absent: presence bit clear
    std::optional<std::string> manufacturer;
    std::optional<std::string> serialNumber;
};

// The identity's string for a table row.
const std::optional<std::string>& StringFor(const Identity& identity, const StringField& field);

// The image for an identity: header 0x6700 with the presence bits, the
// identifiers, each present string as length byte and characters, every other
// byte zero. Nothing when a string is longer than its field's capacity.
std::optional<Image> Encode(const Identity& identity);

}  // namespace Family0Image
