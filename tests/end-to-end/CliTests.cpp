// kelvra-cli.exe run as a script runs it: the exit status, stdout, the gist
// of stderr and the emulated chips, with the driver libraries found on PATH
// and Kelvra.ini in the folder it runs in.
#include "EndToEndTest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "ChildProcess.h"
#include "CliCommands.h"
#include "DeviceLock.h"
#include "EmulatedDriverFolders.h"
#include "FakeHidPlatform.h"
#include "KelvraProgramLocation.h"
#include "WorkingFolder.h"

namespace EndToEnd
{
namespace
{

using Arguments = std::vector<std::string>;

const std::string ChipA = "VT_HIDA-845E0001.bin";
const std::string ChipB = "VT_HIDB-845E0001.bin";
const std::string ChipC = "VT_HIDC-845E0001.bin";

const std::string Identity = IdentityImage(0x6707, 0x845e, 0x0001, "Vantrel Pad", "Vantrel Ltd", "SN0042");

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Just enough JSON to read the one object --json prints, and to throw on
// anything that is not JSON: its members by name, a string decoded, any
// other value as its JSON text.
class JsonReader
{
public:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    std::map<std::string, std::string> WholeObject()
    {
        std::map<std::string, std::string> members = Object();
        Require(m_text.find_first_not_of(" \t\r\n", m_at) == std::string::npos, "text after the object");
        return members;
    }

private:
    void Require(bool holds, const char* what) const
    {
        if (!holds)
        {
            throw std::runtime_error(std::string(what) + " at offset " + std::to_string(m_at));
        }
    }

    char Peek()
    {
        m_at = std::min(m_text.find_first_not_of(" \t\r\n", m_at), m_text.size());
        Require(m_at < m_text.size(), "the text ends early");
        return m_text[m_at];
    }

    void Expect(char wanted)
    {
        Require(Peek() == wanted, "another character");
        ++m_at;
    }

    // After a member or an element: true for a comma, false for the closing bracket.
    bool Separator(char closing)
    {
        const char separator = Peek();
        Require(separator == ',' || separator == closing, "no separator");
        ++m_at;
        return separator == ',';
    }

    std::string String()
    {
        Expect('"');
        std::string text;
        for (char character = m_text.at(m_at++); character != '"'; character = m_text.at(m_at++))
        {
            Require(static_cast<unsigned char>(character) >= 0x20, "a control character in a string");
            if (character != '\\')
            {
                text += character;
                continue;
            }
            const char escape = m_text.at(m_at++);
            const char* const simple = std::strchr("\"\\/bfnrt", escape);
            Require(escape == 'u' || (escape != '\0' && simple != nullptr), "an unknown escape");
            if (escape != 'u')
            {
                text += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
                continue;
            }
            const std::string digits = m_text.substr(m_at, 4);
            Require(digits.size() == 4 && digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos,
                    "a \\u escape without four hexadecimal digits");
            m_at += 4;
            text += static_cast<char>(std::strtoul(digits.c_str(), nullptr, 16));
        }
        return text;
    }

    void SkipValue()
    {
        const char first = Peek();
        if (first == '"')
        {
            String();
        }
        else if (first == '{')
        {
            Object();
        }
        else if (first == '[' && m_text.at(++m_at) != ']')
        {
            do
            {
                SkipValue();
            } while (Separator(']'));
        }
        else if (first == '[')
        {
            ++m_at;
        }
        else
        {
            SkipWord();
        }
    }

    // true, false, null or a number.
    void SkipWord()
    {
        const size_t start = m_at;
        m_at = std::min(m_text.find_first_not_of("+-.0123456789Eaeflnrstu", m_at), m_text.size());
        const std::string word = m_text.substr(start, m_at - start);
        char* end = nullptr;
        const bool number = !word.empty() && word[0] != '+' && (std::strtod(word.c_str(), &end), *end == '\0');
        Require(word == "true" || word == "false" || word == "null" || number, "not a JSON value");
    }

    std::map<std::string, std::string> Object()
    {
        std::map<std::string, std::string> members;
        Expect('{');
        if (Peek() == '}')
        {
            ++m_at;
            return members;
        }
        do
        {
            const std::string name = String();
            Expect(':');
            const size_t start = (Peek(), m_at);
            std::string value = m_text[m_at] == '"' ? String() : (SkipValue(), m_text.substr(start, m_at - start));
            Require(members.emplace(name, value).second, "a member given twice");
        } while (Separator('}'));
        return members;
    }

    const std::string& m_text;
    size_t m_at = 0;
};

// A README example: its indented lines from firstLine to the blank line
// after them, with the line ends Windows files have.
std::string ReadmeExample(const std::string& firstLine)
{
    std::ifstream readme(WindowsPathOf(ReadmeHostPath));
    std::string text;
    bool inExample = false;
    for (std::string line; std::getline(readme, line);)
    {
        inExample = inExample ? !line.empty() : line == "    " + firstLine;
        if (inExample)
        {
            text += line.substr(4) + "\r\n";
        }
    }
    return text;
}

class CliTest : public EndToEndTest
{
protected:
    CliTest() { WriteSettings(SettingsFor("845e", "0001")); }

    // libraries goes first on PATH; the working folder holds Kelvra.ini.
    ProcessRun Cli(const Arguments& arguments, const std::string& libraries = EmulatedDriversFolder) const
    {
        return RunProcess(WindowsPathOf(KelvraCliHostPath), arguments, WorkingFolder(), ChildEnvironment(libraries));
    }

    // emulator.ini, and a fresh call log.
    void SetEmulator(const std::string& settings) const
    {
        SeedChip("emulator.ini", settings);
        SeedChip("calls.log", "");
    }

    std::string LastCall() const
    {
        const auto calls = Calls();
        return calls.empty() ? "" : calls.back().function;
    }
};

// Kelvra's lines after a successful VT-A verify of Identity.
std::vector<std::string> VerifiedIdentityLines()
{
    return {"Verifying ........",
            "Verify Success!",
            "",
            "VID:0x845e",
            "PID:0x0001",
            "Product String:Vantrel Pad",
            "Manufacture String:Vantrel Ltd",
            "Serial Number:SN0042"};
}

TEST_F(CliTest, ListShowsTheDevicesOfTheSettingsAndWarnsAboutValuesKelvraMisreads)
{
    ProcessRun run = Cli({"list"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.out, "VID_845e&PID_0001\n");

    run = Cli({"list", "--all", "--json"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, "{\"name\":\"VID_845e&PID_0002\",\"vid\":\"0x845e\",\"pid\":\"0x0002\"}")) << run.out;

    run = Cli({"list", "--device", "845e:0003"});
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "no attached device carries VID_845e&PID_0003")) << run.err;

    // Kelvra reads 0x845e as 0084 and lists nothing, without a word.
    WriteSettings(SettingsFor("0x845e", "0001"));
    run = Cli({"list"});
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_TRUE(Contains(run.err, "VID=0x845e, which is not 1 to 4 hexadecimal digits")) << run.err;
    EXPECT_TRUE(Contains(run.err, "read it as 0084")) << run.err;

    // The README's own example, comments and all, needs no warning; a comment within the four characters does.
    const std::string example = ReadmeExample("[KELVRA]");
    ASSERT_TRUE(Contains(example, "; vendor identifier")) << example;
    WriteSettings(example);
    run = Cli({"list"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    WriteSettings("[KELVRA]\r\nVID=845e\r\nPID=1 ; the pad\r\n");
    run = Cli({"list"});
    EXPECT_TRUE(Contains(run.err, "read it as 1000. Write it like PID=0001.")) << run.err;
}

TEST_F(CliTest, ReadSavesTheChipAndShowListsTheIdentityItCarries)
{
    const std::string backup = NewFolder("backups") + "\\vt-c.bin";
    const std::string chip = PatternBytes(2048, 3);
    SeedChip(ChipC, chip);
    ProcessRun run = Cli({"read", "--family", "C", "--size", "1024", "-o", backup});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(chip.substr(0, 1024), FileBytes(backup));

    // A backup is replaced only when asked to.
    const std::string changed = PatternBytes(2048, 4);
    SeedChip(ChipC, changed);
    run = Cli({"read", "--family", "C", "--size", "1024", "-o", backup});
    EXPECT_EQ(run.exitCode, 8u);
    EXPECT_TRUE(Contains(run.err, "already exists; give --force")) << run.err;
    EXPECT_EQ(chip.substr(0, 1024), FileBytes(backup));
    run = Cli({"read", "--family", "C", "--size", "1024", "-o", backup, "--force"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(changed.substr(0, 1024), FileBytes(backup));

    SeedChip(ChipA, Identity);
    run = Cli({"show"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.out, "VID:0x845e\nPID:0x0001\nProduct String:Vantrel Pad\nManufacture String:Vantrel Ltd\n"
                       "Serial Number:SN0042\n");
    run = Cli({"show", "--json"});
    EXPECT_EQ(run.out, "{\"device\":\"VID_845e&PID_0001\",\"signature\":true,\"header\":\"0x6707\",\"vid\":\"0x845e\","
                       "\"pid\":\"0x0001\",\"product\":\"Vantrel Pad\",\"manufacturer\":\"Vantrel Ltd\","
                       "\"serial\":\"SN0042\"}\n");

    // A backslash is escaped beside \xNN, so each shown line reads back one way.
    SeedChip(ChipA, IdentityImage(0x6707, 0x845e, 0x0001, "C:\\x01\x01", "Vantrel Ltd", "SN0042"));
    run = Cli({"show"});
    EXPECT_TRUE(Contains(run.out, "\nProduct String:C:\\\\x01\\x01\n")) << run.out;

    SeedChip(ChipA, std::string(128, '\xFF'));
    run = Cli({"show"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "carries no VT-A identity")) << run.err;
}

// The write and verify paths through each set of libraries a vendor may ship.
class CliOnEachLibrarySet : public CliTest, public testing::WithParamInterface<EmulatedDriverSet>
{
};

TEST_P(CliOnEachLibrarySet, WriteThenVerifyEachFamilyAndNameWhereAChipDiffers)
{
    struct Family
    {
        const char* letter;
        Arguments size;
        size_t bytes;
        std::string chip;
    };
    const Family families[] = {{"A", {}, 128, ChipA}, {"B", {}, 256, ChipB}, {"C", {"--size", "512"}, 512, ChipC}};
    for (const Family& family : families)
    {
        SCOPED_TRACE(family.letter);
        const std::string image = PatternBytes(family.bytes, 7);
        Arguments write = {"write", WriteImage("image.hex", image), "--family", family.letter, "--verify"};
        write.insert(write.end(), family.size.begin(), family.size.end());
        ProcessRun run = Cli(write, GetParam().folder);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_TRUE(Contains(run.out, "and verified it")) << run.out;
        // No progress bar where stderr is no console.
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(image, Chip(family.chip).substr(0, family.bytes));

        std::string other = image;
        other[family.bytes / 2] = static_cast<char>(other[family.bytes / 2] ^ 0x01);
        other[family.bytes - 1] = static_cast<char>(other[family.bytes - 1] ^ 0x10);
        Arguments verify = {"verify", WriteImage("other.hex", other), "--family", family.letter};
        verify.insert(verify.end(), family.size.begin(), family.size.end());
        run = Cli(verify, GetParam().folder);
        EXPECT_EQ(run.exitCode, 7u);
        char first[64];
        std::snprintf(first, sizeof first, "offset 0x%04x: the image has 0x%02x, the chip 0x%02x",
                      static_cast<unsigned>(family.bytes / 2), static_cast<unsigned char>(other[family.bytes / 2]),
                      static_cast<unsigned char>(image[family.bytes / 2]));
        EXPECT_TRUE(Contains(run.err, "in 2 bytes of " + std::to_string(family.bytes))) << run.err;
        EXPECT_TRUE(Contains(run.err, first)) << run.err;
    }
    ProcessRun run =
        Cli({"verify", WriteImage("other.hex", PatternBytes(100, 8)), "--family", "A", "--json"}, GetParam().folder);
    EXPECT_EQ(run.exitCode, 7u);
    EXPECT_TRUE(Contains(run.out, "\"match\":false,\"differing\":")) << run.out;
}

INSTANTIATE_TEST_SUITE_P(LibrarySets, CliOnEachLibrarySet, testing::ValuesIn(EmulatedDriverSets()), LibrarySetName);

TEST_F(CliTest, KelvraVerifiesWhatTheCliWroteAndTheOtherWayRound)
{
    Install();
    const std::string identityPath = WriteImage("identity.hex", Identity);
    ProcessRun run = Cli({"write", identityPath, "--family", "A"});
    ASSERT_EQ(run.exitCode, 0u) << run.err;

    const auto& kelvra = Start();
    kelvra.Browse(identityPath);
    EXPECT_EQ(VerifiedIdentityLines(), LinesAfter(kelvra, KelvraAutomation::OperationKind::Verify));

    const std::string patternPath = WriteImage("pattern.hex", PatternBytes(128, 9));
    kelvra.Browse(patternPath);
    EXPECT_EQ((std::vector<std::string>{"Verifying ........", "Verify Success!", ""}),
              LinesAfter(kelvra, KelvraAutomation::OperationKind::WriteThenVerify));
    ExitKelvra();
    run = Cli({"verify", patternPath, "--family", "A"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
}

TEST_F(CliTest, EachFaultEndsWithItsStatusAndTheCloseStillFollowsTheOpen)
{
    const std::string imageA = WriteImage("a.hex", PatternBytes(128, 1));
    const std::string imageB = WriteImage("b.hex", PatternBytes(256, 2));
    const std::string imageC = WriteImage("c.hex", PatternBytes(512, 3));
    SeedChip(ChipA, PatternBytes(128, 1));
    SeedChip(ChipC, PatternBytes(512, 3));
    struct Fault
    {
        const char* settings;
        Arguments arguments;
        DWORD status;
        const char* gist;
        const char* lastCall;
    };
    const Fault faults[] = {
        {"[VT_HIDA]\r\nFailOpen=1\r\n", {"write", imageA, "--family", "A"}, 5, "did not open", "StartDeviceDetection"},
        {"[VT_HIDA]\r\nFailWriteWord=5\r\n",
         {"write", imageA, "--family", "A"},
         6,
         "writing failed at word 5 of 64",
         "CloseDevice"},
        {"[VT_HIDA]\r\nFailReadWord=63\r\n",
         {"verify", imageA, "--family", "A"},
         6,
         "reading failed at word 63 of 64",
         "CloseDevice"},
        {"[VT_HIDB]\r\nFailBurn=1\r\n",
         {"write", imageB, "--family", "B"},
         6,
         "writing 256 bytes failed",
         "rmDeviceClose"},
        {"[VT_HIDC]\r\nCorruptReadOffset=300\r\n",
         {"verify", imageC, "--family", "C", "--size", "512"},
         7,
         "in 1 byte of 512; the first at offset 0x012c",
         "rmDeviceClose"},
    };
    for (const Fault& fault : faults)
    {
        SCOPED_TRACE(fault.settings);
        SetEmulator(fault.settings);
        const ProcessRun run = Cli(fault.arguments);
        EXPECT_EQ(fault.status, run.exitCode);
        EXPECT_TRUE(Contains(run.err, fault.gist)) << run.err;
        EXPECT_EQ(fault.lastCall, LastCall());
    }
}

TEST_F(CliTest, SerialFromTheCommandLineOrKeptFromTheChipLeavesTheImageFileAlone)
{
    const std::string path = WriteImage("identity.hex", Identity);
    ProcessRun run = Cli({"write", path, "--family", "A", "--serial", "SN9", "--verify"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(IdentityImage(0x6707, 0x845e, 0x0001, "Vantrel Pad", "Vantrel Ltd", "SN9"), Chip(ChipA));
    EXPECT_EQ(Identity, FileBytes(path));

    SeedChip(ChipA, IdentityImage(0x6707, 0x1234, 0x5678, "Old", "Other", "KEEP-7"));
    run = Cli({"write", path, "--family", "A", "--keep-serial"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(IdentityImage(0x6707, 0x845e, 0x0001, "Vantrel Pad", "Vantrel Ltd", "KEEP-7"), Chip(ChipA));

    // Refused: a serial longer than its field, and keeping a serial the chip lacks.
    const std::string blank(128, '\xFF');
    SeedChip(ChipA, blank);
    SetEmulator("");
    run = Cli({"write", path, "--family", "A", "--serial", "SN-01234567890"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(Contains(run.err, "has 14 characters; the serial number field holds at most 13")) << run.err;
    EXPECT_TRUE(Calls().empty());
    run = Cli({"write", path, "--family", "A", "--keep-serial"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(Contains(run.err, "the chip carries no serial number to keep")) << run.err;
    EXPECT_EQ(blank, Chip(ChipA));
    EXPECT_TRUE(CallsOf(Calls(), "WriteEEPROM").empty());
}

TEST_F(CliTest, ABusyDeviceIsLeftAloneUntilItsHolderLetsGo)
{
    const std::string path = WriteImage("b.hex", PatternBytes(256, 5));
    DeviceLock heldByAnotherProgram;
    ASSERT_TRUE(heldByAnotherProgram.TryAcquire(0x845E0001));
    ProcessRun run = Cli({"write", path, "--family", "B"});
    EXPECT_EQ(run.exitCode, 9u);
    EXPECT_TRUE(Contains(run.err, "VID_845e&PID_0001 is busy")) << run.err;
    EXPECT_TRUE(Calls().empty());

    heldByAnotherProgram.Release();
    run = Cli({"write", path, "--family", "B"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
}

TEST_F(CliTest, BadInputIsRefusedAndChangesNothing)
{
    const std::string image = WriteImage("b.hex", PatternBytes(256, 6));
    const std::string empty = WriteImage("empty.hex", "");
    const std::string locked = WriteImage("locked.hex", PatternBytes(256, 6));
    const std::string existing = WriteImage("existing.bin", "kept");
    const std::string readOnly = WriteImage("read-only.bin", "kept");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string output = NewFolder("out") + "\\new.bin";
    const std::string chip = PatternBytes(256, 10);
    SeedChip(ChipB, chip);
    struct Case
    {
        Arguments arguments;
        DWORD status;
        const char* gist;
    };
    const Case cases[] = {
        {{"write", image, "--family", "D"}, 2, "unknown chip family \"D\""},
        {{"write", image, "--family", "C", "--size", "300"}, 2, "--size 300 is not a VT-C EEPROM size"},
        {{"write", image, "--family", "B", "--serial", "X"}, 2, "VT-A images only"},
        {{"read", "--family", "B"}, 2, "read needs -o FILE"},
        {{"read", "--family", "B", "--size", "512", "-o", output}, 2, "VT-B always transfers 256 bytes"},
        {{"erase"}, 2, "unknown command \"erase\""},
        {{"write", image + ".missing", "--family", "B"}, 8, "no such file"},
        {{"write", NewFolder("folder"), "--family", "B"}, 8, "is a folder"},
        {{"write", empty, "--family", "B"}, 8, "is empty"},
        {{"verify", locked, "--family", "B"}, 8, "cannot be opened"},
        {{"read", "--family", "B", "-o", existing}, 8, "already exists"},
        {{"read", "--family", "B", "-o", NewFolder("gone") + "\\no\\new.bin"}, 8, "its folder does not exist"},
        {{"read", "--family", "B", "-o", readOnly, "--force"}, 8, "is read-only"},
    };
    // Held without sharing, as by a program that has it open.
    const HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    for (const Case& refused : cases)
    {
        SCOPED_TRACE(refused.gist);
        const ProcessRun run = Cli(refused.arguments);
        EXPECT_EQ(refused.status, run.exitCode);
        EXPECT_TRUE(Contains(run.err, refused.gist)) << run.err;
        EXPECT_EQ(run.out, "");
    }
    CloseHandle(holder);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FileBytes(readOnly), "kept");
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(chip, Chip(ChipB));
    EXPECT_EQ(FileBytes(existing), "kept");
    EXPECT_FALSE(Exists(output));
}

TEST_F(CliTest, TheReadmeBatchExampleRunWithoutItsSerialStopsBeforeTheChipIsTouched)
{
    const std::string script = ReadmeExample("@echo off");
    ASSERT_TRUE(Contains(script, "kelvra-cli write product.hex --family A --serial %1 --verify")) << script;
    std::ofstream(WorkingFolder() + "\\program.cmd", std::ios::binary) << script;
    std::ofstream(WorkingFolder() + "\\product.hex", std::ios::binary) << Identity;
    const std::string chip = PatternBytes(128, 16);
    SeedChip(ChipA, chip);
    SetEmulator("");

    char systemFolder[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryA(systemFolder, MAX_PATH), 0u);
    const std::string cli = WindowsPathOf(KelvraCliHostPath);
    const std::string cliFolder = cli.substr(0, cli.find_last_of('\\'));
    const ProcessRun run = RunProcess(std::string(systemFolder) + "\\cmd.exe", {"/c", "program.cmd"}, WorkingFolder(),
                                      ChildEnvironment(EmulatedDriversFolder + ";" + cliFolder));
    EXPECT_EQ(run.exitCode, 2u) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "usage: program.cmd SERIAL")) << run.out;
    EXPECT_FALSE(Exists(WorkingFolder() + "\\backup-.bin"));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(chip, Chip(ChipA));
}

TEST_F(CliTest, JsonAnswersEveryOutcomeWithOneObjectAndAFailureWithItsErrorAndStatus)
{
    const std::string image = WriteImage("a.hex", PatternBytes(128, 14));
    SeedChip(ChipA, PatternBytes(128, 15));
    const char* const failOpen = "[VT_HIDA]\r\nFailOpen=1\r\n";
    struct Answer
    {
        const char* settings;
        Arguments arguments;
        DWORD status;
        const char* member;  // and its value, besides the error and the status
        const char* value;
    };
    const Answer answers[] = {
        {"", {"list", "--device", "845e:0003", "--json"}, 3, "devices", "[]"},
        {"", {"show", "--json", "--device", "845e:0003"}, 3, nullptr, nullptr},
        {failOpen, {"show", "--json"}, 5, nullptr, nullptr},
        {failOpen, {"verify", image, "--family", "A", "--json"}, 5, nullptr, nullptr},
        {"", {"verify", image + ".missing", "--family", "A", "--json"}, 8, nullptr, nullptr},
        {"", {"verify", image, "--family", "A", "--json"}, 7, "match", "false"},
        {"", {"show", "--json", "--json"}, 2, nullptr, nullptr},
        // --json after a value that is refused.
        {"", {"list", "--device", ":0001", "--json"}, 2, "devices", "[]"},
        {"", {"verify", image, "--family", "Z", "--json"}, 2, nullptr, nullptr},
    };
    const auto expectAnswer = [](const Answer& answer, const ProcessRun& run)
    {
        EXPECT_EQ(answer.status, run.exitCode) << run.err;
        std::map<std::string, std::string> members;
        try
        {
            members = JsonReader(run.out).WholeObject();
        }
        catch (const std::exception& error)
        {
            ADD_FAILURE() << "stdout is not one JSON object: " << error.what() << "\n" << run.out;
            return;
        }
        EXPECT_EQ(members["status"], std::to_string(answer.status));
        EXPECT_EQ("kelvra-cli: " + members["error"] + "\n", run.err);
        if (answer.member != nullptr)
        {
            EXPECT_EQ(members[answer.member], answer.value);
        }
    };
    for (const Answer& answer : answers)
    {
        SCOPED_TRACE(answer.arguments.front() + " " + std::to_string(answer.status));
        SetEmulator(answer.settings);
        expectAnswer(answer, Cli(answer.arguments));
    }
    // No device chosen: no --device and no Kelvra.ini.
    ASSERT_TRUE(DeleteFileA((WorkingFolder() + "\\Kelvra.ini").c_str()));
    const Answer unchosen = {"", {"list", "--json"}, 3, "devices", "[]"};
    expectAnswer(unchosen, Cli(unchosen.arguments));
}

TEST_F(CliTest, LibrariesComeFromThePathNeverFromTheCurrentFolder)
{
    const std::string image = WriteImage("a.hex", PatternBytes(128, 11));
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
    {
        ASSERT_TRUE(CopyFileA((EmulatedDriversFolder + "\\" + library).c_str(),
                              (WorkingFolder() + "\\" + library).c_str(), FALSE));
    }
    ProcessRun run = Cli({"write", image, "--family", "A"}, "");
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_TRUE(Contains(run.err, "VT_HIDA.dll did not load")) << run.err;

    run = Cli({"write", image, "--family", "A"}, EmulatedDriversFolderMissing("WriteEEPROM"));
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_TRUE(Contains(run.err, "lacks the export WriteEEPROM")) << run.err;
    EXPECT_TRUE(Calls().empty());
}

TEST_F(CliTest, CtrlCEndsAVtaWriteBetweenWordsAndTheDeviceIsClosed)
{
    const std::string image = WriteImage("a.hex", PatternBytes(128, 12));
    bool pressed = false;
    const ProcessRun run =
        RunProcess(WindowsPathOf(KelvraCliHostPath), {"write", image, "--family", "A"}, WorkingFolder(),
                   ChildEnvironment(EmulatedDriversFolder),
                   [&]
                   {
                       const DWORD start = GetTickCount();
                       while (CallsOf(Calls(), "WriteEEPROM").size() < 5 && GetTickCount() - start < 10000)
                       {
                           Sleep(5);
                       }
                       pressed = PressCtrlC();
                   });
    ASSERT_TRUE(pressed);
    EXPECT_EQ(run.exitCode, 10u);
    EXPECT_TRUE(Contains(run.err, "interrupted after")) << run.err;
    EXPECT_LT(CallsOf(Calls(), "WriteEEPROM").size(), 64u);
    EXPECT_EQ(LastCall(), "CloseDevice");
}

class CollectedConsole : public Console
{
public:
    std::string out;
    std::string err;
    bool errIsConsole = false;
    void Out(const std::string& text) override { out += text; }
    void Err(const std::string& text) override { err += text; }
    bool ErrIsConsole() const override { return errIsConsole; }
};

TEST(CliOptions, EachRefusalIsAUsageErrorThatSaysWhatIsWrong)
{
    const std::string hint = "; to give a value that begins with '-', write ";
    struct Refusal
    {
        Arguments arguments;
        std::string message;
    };
    const Refusal refusals[] = {
        // The README's batch example run without its serial.
        {{"write", "product.hex", "--family", "A", "--serial", "--verify"},
         "--serial needs a value (TEXT), but \"--verify\" follows it" + hint + "--serial=--verify"},
        {{"read", "--family", "A", "-o", "--force"},
         "-o needs a value (FILE), but \"--force\" follows it" + hint + "--output=--force"},
        {{"line", "w.hex", "--family", "A", "--start", "KV-1", "--log", "--skip-failed"},
         "--log needs a value (FILE), but \"--skip-failed\" follows it" + hint + "--log=--skip-failed"},
        {{"line", "w.hex", "--family", "A", "--start", "KV-1", "--log", "l.csv", "--skip-failed",
          "--allow-duplicate-serials"},
         "give --skip-failed or --allow-duplicate-serials, not both"},
        {{"line", "w.hex", "--family", "A", "--serials-from-input", "--log", "l.csv", "--allow-duplicate-serials"},
         "--allow-duplicate-serials applies to --start and unit numbers"},
        {{"write", "a.hex", "--family"}, "--family needs a value (A|B|C)"},
        {{"write", "a.hex", "--family", "A", "--family", "C"}, "--family is given twice; give it once"},
        {{"read", "--family", "A", "-o", "a.bin", "--output=b.bin"}, "-o (--output) is given twice; give it once"},
        {{"list", "--family", "A"}, "list does not take --family"},
        {{"list", "--colour"}, "unknown option --colour"},
        {{"show", "--hex=yes"}, "--hex takes no value"},
        {{"write", "--", "a.hex", "--family", "A"}, "unexpected argument \"--family\""},
        {{"write", "--family", "A"}, "write needs IMAGE"},
        {{"read", "--family", "A", "-o", ""}, "-o \"\" names no file"},
        {{"read", "--family", "A", "--output="}, "-o \"\" names no file"},
        {{"line", "w.hex", "--family", "A", "--start", "KV-1", "--log="}, "--log \"\" names no file"},
        {{"write", "a.hex", "--family", "A", "--serial="}, "--serial \"\" is empty"},
        {{"write", "", "--family", "A"}, "IMAGE \"\" names no file"},
        {{"mend-log", "line.csv"}, "mend-log needs --family A|B|C"},
        {{"mend-log", "--family", "A"}, "mend-log needs LOG"},
        {{"mend-log", "line.csv", "--family", "A", "--device", "845e:0001"}, "mend-log does not take --device"},
        {{"erase"}, "unknown command \"erase\": give list, read, show, write, verify, line, mend-log or ledger"},
        // --count is the series' length: input serials have none, and a start's digits bound it.
        {{"line", "w.hex", "--family", "A", "--serials-from-input", "--count", "3", "--log", "l.csv"},
         "--count is the series' length, and serials from input have none: give --stop-after N"},
        {{"line", "w.hex", "--family", "A", "--start", "KV-98", "--count", "3", "--log", "l.csv"},
         "--count 3 from KV-98: more serials than the start's digits can number"},
        {{"line", "w.hex", "--family", "B", "--stop-after", "0", "--log", "l.csv"}, "--stop-after: "},
    };
    FakeHidPlatform platform;
    for (const Refusal& refusal : refusals)
    {
        SCOPED_TRACE(refusal.message);
        CollectedConsole console;
        EXPECT_EQ(RunKelvraCli(refusal.arguments, console, platform), 2);
        EXPECT_TRUE(Contains(console.err, "kelvra-cli: " + refusal.message)) << console.err;
        EXPECT_EQ(console.out, "");
    }
    EXPECT_EQ(platform.passesEnded, 0);
}

TEST(CliOptions, AValueAfterAnEqualsSignOrAnImageAfterTheEndOfTheOptionsMayBeginWithADash)
{
    FakeHidPlatform platform;
    CollectedConsole console;
    // Accepted: the image is looked for, and is missing.
    EXPECT_EQ(RunKelvraCli({"write", "--family=A", "--serial=-7", "--", "-missing.hex"}, console, platform), 8);
    EXPECT_EQ(console.err, "kelvra-cli: -missing.hex: no such file\n");
}

TEST(CliDeviceChoice, SeveralInterfacesWithTheIdentifiersAreListedButNotGuessedBetween)
{
    FakeHidPlatform platform;
    platform.interfaces = {FakeDevice(0x845E, 0x0001), FakeDevice(0x845E, 0x0002), FakeDevice(0x845E, 0x0001)};
    CollectedConsole console;
    EXPECT_EQ(RunKelvraCli({"list", "--device", "845e:0001"}, console, platform), 0);
    EXPECT_EQ(console.out, "VID_845e&PID_0001\nVID_845e&PID_0001\n");

    EXPECT_EQ(RunKelvraCli({"show", "--device", "845e:0001"}, console, platform), 3);
    EXPECT_TRUE(Contains(console.err, "2 attached interfaces carry VID_845e&PID_0001")) << console.err;
}

TEST(CliProgress, AConsoleSeesWordsDoneOfSixtyFourUnlessAskedToBeQuiet)
{
    const TemporaryFolder folder("kelvra-cli-progress");
    const std::string& state = folder.Path();
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", state.c_str());
    SetDllDirectoryA(EmulatedDriversFolder.c_str());
    const std::string image = state + "\\image.hex";
    std::ofstream(image, std::ios::binary) << PatternBytes(128, 13);
    CollectedConsole console;
    console.errIsConsole = true;
    const Arguments write = {"write", image, "--family", "A", "--device", "845e:0001"};
    const int shown = RunKelvraCli(write, console, WindowsHidPlatform::Instance());
    const std::string bar = console.err;
    console.err.clear();
    Arguments quietly = write;
    quietly.push_back("--quiet");
    const int quiet = RunKelvraCli(quietly, console, WindowsHidPlatform::Instance());
    SetDllDirectoryA(nullptr);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);

    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(Contains(bar, "\rwriting [#" + std::string(31, '.') + "] 2/64 words")) << bar;
    EXPECT_TRUE(Contains(bar, "\rwriting [" + std::string(32, '#') + "] 64/64 words")) << bar;
    // Wiped before the summary.
    EXPECT_EQ(bar.back(), '\r');
    EXPECT_EQ(quiet, 0);
    EXPECT_EQ(console.err, "");
}

}  // namespace
}  // namespace EndToEnd
