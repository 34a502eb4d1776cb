// Shared helpers for the kelvra-image tests: a fresh folder per test and a
// way to run the tool as its own process.
#pragma once

#include "Family0Image.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct ToolRun
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs kelvra-image with the arguments inside folder, capturing both streams.
ToolRun RunTool(const std::vector<std::string>& arguments, const TemporaryFolder& folder);

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
bool Exists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);

// A signed image with the given header bits and nothing else set.
Family0Image::Image ImageWithHeader(std::uint16_t header);

// Places a length byte and the characters after it at a field.
void PutField(Family0Image::Image& image, const Family0Image::StringField& field, std::uint8_t lengthByte,
              const std::string& characters);

class KelvraImageTest : public ::testing::Test
{
protected:
    TemporaryFolder folder{"kelvra-image-test"};
};
