#include "TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace
{

std::string ReadText(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

int WaitForExit(pid_t child)
{
    int status = 0;
    if (waitpid(child, &status, 0) != child)
    {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& arguments, const TemporaryFolder& folder)
{
    const std::string outPath = folder.PathOf(".tool-stdout");
    const std::string errPath = folder.PathOf(".tool-stderr");
    std::vector<std::string> words{KELVRA_IMAGE_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
    {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    ToolRun run;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0)
    {
        run.exitCode = WaitForExit(child);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadText(outPath);
    run.err = ReadText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text)
{
    WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

Family0Image::Image ImageWithHeader(std::uint16_t header)
{
    Family0Image::Image image{};
    image[0] = static_cast<std::uint8_t>(header & 0xFF);
    image[1] = static_cast<std::uint8_t>(header >> 8);
    return image;
}

void PutField(Family0Image::Image& image, const Family0Image::StringField& field, std::uint8_t lengthByte,
              const std::string& characters)
{
    const std::size_t offset = Family0Image::LengthByteOffset(field);
    image[offset] = lengthByte;
    for (std::size_t index = 0; index < characters.size() && offset + 1 + index < image.size(); ++index)
    {
        image[offset + 1 + index] = static_cast<std::uint8_t>(characters[index]);
    }
}
