#include "IntelHex.h"

#include "Text.h"

#include <string>

namespace IntelHex
{

namespace
{

enum RecordType : std::uint8_t
{
    DataRecord = 0x00,
    EndOfFileRecord = 0x01,
    ExtendedSegmentAddressRecord = 0x02,
    StartSegmentAddressRecord = 0x03,
    ExtendedLinearAddressRecord = 0x04,
    StartLinearAddressRecord = 0x05,
};

// Byte count, two address bytes, type and checksum.
constexpr std::size_t RecordOverhead = 5;
// The hexadecimal digits of the shortest record.
constexpr std::size_t MinimumDigitCount = 2 * RecordOverhead;

struct Record
{
    std::uint8_t type = 0;
    std::uint16_t offset = 0;
    std::vector<std::uint8_t> data;
};

struct ImageUnderConstruction
{
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(MaxImageSize, 0);
    std::vector<std::size_t> settingLine = std::vector<std::size_t>(MaxImageSize, 0);
    std::size_t end = 0;
    std::uint32_t addressBase = 0;
    bool endOfFileSeen = false;
};

std::string LinePrefix(std::size_t lineNumber)
{
    return "line " + std::to_string(lineNumber) + ": ";
}

std::string DescribeCharacter(char character)
{
    const auto value = static_cast<unsigned char>(character);
    if (Text::IsPrintableAscii(value))
    {
        return std::string("'") + character + "'";
    }
    return "byte " + Text::HexByte(value);
}

// Editors leave trailing blanks and CR; a leading blank stays an error, since
// the start code must come first.
std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    {
        line.remove_suffix(1);
    }
    return line;
}

Result<std::vector<std::uint8_t>> DecodeHexDigits(std::string_view digits)
{
    for (std::size_t index = 0; index < digits.size(); ++index)
    {
        if (!Text::IsHexDigit(digits[index]))
        {
            return Result<std::vector<std::uint8_t>>::Failure(DescribeCharacter(digits[index]) + " at column " +
                                                              std::to_string(index + 2) +
                                                              " is not a hexadecimal digit");
        }
    }
    if (digits.size() % 2 != 0)
    {
        return Result<std::vector<std::uint8_t>>::Failure("odd number of hexadecimal digits");
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t index = 0; index < digits.size(); index += 2)
    {
        bytes.push_back(static_cast<std::uint8_t>(Text::HexDigitValue(digits[index]) * 16 +
                                                  Text::HexDigitValue(digits[index + 1])));
    }
    return Result<std::vector<std::uint8_t>>::Success(std::move(bytes));
}

std::uint8_t ChecksumOf(const std::vector<std::uint8_t>& bytesBeforeChecksum)
{
    unsigned sum = 0;
    for (const std::uint8_t value : bytesBeforeChecksum)
    {
        sum += value;
    }
    return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}

Result<Record> ParseRecord(std::string_view line)
{
    if (line.front() != ':')
    {
        return Result<Record>::Failure("does not start with ':' but with " + DescribeCharacter(line.front()));
    }
    Result<std::vector<std::uint8_t>> decoded = DecodeHexDigits(line.substr(1));
    if (!decoded.IsOk())
    {
        return Result<Record>::Failure(decoded.Error());
    }
    std::vector<std::uint8_t>& bytes = decoded.Value();
    if (bytes.size() < RecordOverhead)
    {
        return Result<Record>::Failure("record too short: " + std::to_string(line.size() - 1) +
                                       " hexadecimal digits, a record has at least " +
                                       std::to_string(MinimumDigitCount));
    }
    const std::size_t declaredCount = bytes[0];
    const std::size_t actualCount = bytes.size() - RecordOverhead;
    if (declaredCount != actualCount)
    {
        return Result<Record>::Failure("byte count " + std::to_string(declaredCount) + " does not match the " +
                                       std::to_string(actualCount) + " data bytes on the line");
    }
    const std::uint8_t checksum = bytes.back();
    bytes.pop_back();
    const std::uint8_t expected = ChecksumOf(bytes);
    if (checksum != expected)
    {
        return Result<Record>::Failure("checksum " + Text::HexByte(checksum) + " is wrong, expected " +
                                       Text::HexByte(expected));
    }
    Record record;
    record.offset = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    record.data.assign(bytes.begin() + 4, bytes.end());
    return Result<Record>::Success(std::move(record));
}

std::string CheckDataLength(const Record& record, std::size_t expectedLength, const char* name)
{
    if (record.data.size() == expectedLength)
    {
        return {};
    }
    return std::string(name) + " record must carry " + std::to_string(expectedLength) + " data bytes, not " +
           std::to_string(record.data.size());
}

std::string StoreData(const Record& record, std::size_t lineNumber, ImageUnderConstruction& image)
{
    for (std::size_t index = 0; index < record.data.size(); ++index)
    {
        const std::uint32_t address = image.addressBase + record.offset + static_cast<std::uint32_t>(index);
        if (address >= MaxImageSize)
        {
            return "address " + std::to_string(address) + " is beyond the largest EEPROM (" +
                   std::to_string(MaxImageSize) + " bytes)";
        }
        if (image.settingLine[address] != 0)
        {
            return "address " + std::to_string(address) + " was already set on line " +
                   std::to_string(image.settingLine[address]);
        }
        image.bytes[address] = record.data[index];
        image.settingLine[address] = lineNumber;
        if (address + 1 > image.end)
        {
            image.end = address + 1;
        }
    }
    return {};
}

std::uint32_t AddressWord(const Record& record)
{
    return static_cast<std::uint32_t>(record.data[0]) << 8 | record.data[1];
}

// Applies one well-formed record; the result is the error, empty on success.
std::string ApplyRecord(const Record& record, std::size_t lineNumber, ImageUnderConstruction& image)
{
    switch (record.type)
    {
    case DataRecord:
        return StoreData(record, lineNumber, image);
    case EndOfFileRecord:
        image.endOfFileSeen = true;
        return CheckDataLength(record, 0, "end-of-file");
    case ExtendedSegmentAddressRecord:
    {
        std::string error = CheckDataLength(record, 2, "extended segment address");
        if (error.empty())
        {
            image.addressBase = AddressWord(record) << 4;
        }
        return error;
    }
    case ExtendedLinearAddressRecord:
    {
        std::string error = CheckDataLength(record, 2, "extended linear address");
        if (error.empty())
        {
            image.addressBase = AddressWord(record) << 16;
        }
        return error;
    }
    case StartSegmentAddressRecord:
        return CheckDataLength(record, 4, "start segment address");
    case StartLinearAddressRecord:
        return CheckDataLength(record, 4, "start linear address");
    default:
        return "unsupported record type " + Text::HexByte(record.type);
    }
}

// The error for one line, empty when it is fine.
std::string ReadLine(std::string_view line, std::size_t lineNumber, ImageUnderConstruction& image)
{
    if (line.empty())
    {
        return {};
    }
    if (image.endOfFileSeen)
    {
        return "text after the end-of-file record";
    }
    Result<Record> record = ParseRecord(line);
    if (!record.IsOk())
    {
        return record.Error();
    }
    return ApplyRecord(record.Value(), lineNumber, image);
}

}  // namespace

Result<std::vector<std::uint8_t>> Parse(std::string_view text)
{
    ImageUnderConstruction image;
    std::size_t lineNumber = 0;
    while (!text.empty())
    {
        const std::size_t lineEnd = text.find('\n');
        const std::string_view rawLine = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        ++lineNumber;
        const std::string error = ReadLine(WithoutLineEnd(rawLine), lineNumber, image);
        if (!error.empty())
        {
            return Result<std::vector<std::uint8_t>>::Failure(LinePrefix(lineNumber) + error);
        }
    }
    if (!image.endOfFileSeen)
    {
        return Result<std::vector<std::uint8_t>>::Failure(LinePrefix(lineNumber + 1) +
                                                          "missing end-of-file record (:00000001FF)");
    }
    if (image.end == 0)
    {
        return Result<std::vector<std::uint8_t>>::Failure("no data records");
    }
    image.bytes.resize(image.end);
    return Result<std::vector<std::uint8_t>>::Success(std::move(image.bytes));
}

bool LooksLikeIntelHex(const std::uint8_t* bytes, std::size_t size)
{
    if (bytes == nullptr || size == 0 || bytes[0] != ':')
    {
        return false;
    }
    std::size_t digitCount = 0;
    for (std::size_t index = 1; index < size; ++index)
    {
        const char character = static_cast<char>(bytes[index]);
        if (character == '\r' || character == '\n')
        {
            break;
        }
        if (!Text::IsHexDigit(character))
        {
            return false;
        }
        ++digitCount;
    }
    return digitCount >= MinimumDigitCount;
}

}  // namespace IntelHex
