// Image files chosen through the real Open dialog, written to and verified
// against the emulated chips through the driver libraries beside Kelvra.
#include "EndToEndTest.h"

namespace EndToEnd
{
namespace
{

using KelvraAutomation::ChipFamily;
using KelvraAutomation::OperationKind;
using Lines = std::vector<std::string>;

const std::string ChipA = "VT_HIDA-845E0001.bin";
constexpr unsigned long long WineDeviceKey = 0x845E0001;

unsigned long long HandleArgument(const KelvraAutomation::KelvraWindow& kelvra)
{
    // The libraries take the handle as one 32-bit word.
    return reinterpret_cast<ULONG_PTR>(kelvra.Handle()) & 0xFFFFFFFFu;
}

std::vector<LoggedCall> CallsOf(const std::vector<LoggedCall>& calls, const std::string& library,
                                const std::string& function)
{
    std::vector<LoggedCall> matching;
    for (const LoggedCall& call : calls)
    {
        if (call.library == library && call.function == function)
        {
            matching.push_back(call);
        }
    }
    return matching;
}

// The write and verify paths through each set of libraries a vendor may ship.
class OnEachLibrarySet : public EndToEndTest, public testing::WithParamInterface<EmulatedDriverSet>
{
};

TEST_P(OnEachLibrarySet, VtaWriteThenVerifyStoresTheImageAndReportsItsIdentity)
{
    Install("Kelvra", GetParam().folder);
    WriteSettings(SettingsFor("845e", "0001", 1));
    const std::string image = IdentityImage(0x6707, "Vantrel Pad", "Vantrel Ltd", "SN0042");
    const std::string path = WriteImage("identity.hex", image);
    const auto& kelvra = Start();

    kelvra.Browse(path);
    EXPECT_EQ(kelvra.ImagePath(), path);
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::WriteThenVerify),
              VerifiedIdentity("Vantrel Pad", "Vantrel Ltd", "SN0042"));
    EXPECT_EQ(Chip(ChipA), image);

    // Both opens name the dialog's own window and Wine's device.
    const auto opens = CallsOf(Calls(), "VT_HIDA", "StartDeviceDetection");
    ASSERT_EQ(opens.size(), 2u);
    for (const LoggedCall& open : opens)
    {
        EXPECT_EQ(open.ArgumentValue(0), HandleArgument(kelvra));
        EXPECT_EQ(open.ArgumentValue(11), WineDeviceKey);
    }

    ExitKelvra();
}

TEST_P(OnEachLibrarySet, VtbAndVtcWriteThenVerifyStoreTheImage)
{
    const Lines VerifiedWithoutIdentity = {KelvraText::Verifying, KelvraText::VerifySuccess, ""};
    Install("Kelvra", GetParam().folder);
    WriteSettings(SettingsFor("845e", "0001", 1));
    const auto& kelvra = Start();

    kelvra.ChooseFamily(ChipFamily::B);
    kelvra.Browse(WriteImage("b.hex", PatternBytes(256, 11)));
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::WriteThenVerify), VerifiedWithoutIdentity);
    EXPECT_EQ(Chip("VT_HIDB-845E0001.bin"), PatternBytes(256, 11));

    kelvra.ChooseFamily(ChipFamily::C);
    kelvra.ChooseEepromSize(1);
    kelvra.Browse(WriteImage("c.hex", PatternBytes(512, 12)));
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::WriteThenVerify), VerifiedWithoutIdentity);
    EXPECT_EQ(Chip("VT_HIDC-845E0001.bin").substr(0, 512), PatternBytes(512, 12));
    // The size chosen reaches the library.
    const auto sizes = CallsOf(Calls(), "VT_HIDC", "rmSetEEPROMSize");
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().ArgumentValue(1), 512u);

    ExitKelvra();
}

INSTANTIATE_TEST_SUITE_P(LibrarySets, OnEachLibrarySet, testing::ValuesIn(EmulatedDriverSets()), LibrarySetName);

TEST_F(EndToEndTest, VerifyFailsOnAChipThatDiffersInItsLastByte)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001", 1));
    const std::string image = IdentityImage(0x6707, "Vantrel Pad", "Vantrel Ltd", "SN0042");
    std::string other = image;
    other[127] = '\x5A';
    SeedChip(ChipA, other);
    const auto& kelvra = Start();
    kelvra.Browse(WriteImage("identity.hex", image));

    EXPECT_EQ(LinesAfter(kelvra, OperationKind::Verify), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    EXPECT_EQ(Chip(ChipA), other);

    // The same Kelvra and file succeed once the chip holds the image.
    SeedChip(ChipA, image);
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::Verify), VerifiedIdentity("Vantrel Pad", "Vantrel Ltd", "SN0042"));

    ExitKelvra();
}

TEST_F(EndToEndTest, CancelledOpenDialogKeepsTheEarlierPath)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001"));
    const std::string path = WriteImage("identity.hex", IdentityImage(0x6707, "P", "M", "S"));
    const auto& kelvra = Start();

    // Only the Open dialog needs the common dialog library: Kelvra starts without it.
    EXPECT_FALSE(HasLoaded(kelvra.ProcessId(), "comdlg32.dll"));
    kelvra.CancelBrowse();
    EXPECT_TRUE(HasLoaded(kelvra.ProcessId(), "comdlg32.dll"));
    EXPECT_EQ(kelvra.ImagePath(), "");
    kelvra.Browse(path);
    EXPECT_EQ(kelvra.ImagePath(), path);
    kelvra.CancelBrowse();
    EXPECT_EQ(kelvra.ImagePath(), path);

    ExitKelvra();
}

TEST_F(EndToEndTest, SecondKelvraOnTheDeviceBeingWrittenFailsWithoutACallAndWritesOnceTheFirstIsGone)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001", 0));
    const std::string image = PatternBytes(128, 3);
    const std::string path = WriteImage("image.hex", image);
    const auto& first = Start();
    const auto& second = Start();
    first.Browse(path);
    second.Browse(path);

    first.StartOperation(OperationKind::Write);
    // The first Kelvra holds the device once its library has been called.
    ASSERT_TRUE(KelvraAutomation::WaitUntil([&] { return !Calls().empty(); }, KelvraAutomation::Milliseconds(10000),
                                            KelvraAutomation::Milliseconds(5)));
    EXPECT_EQ(LinesAfter(second, OperationKind::Write), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    ASSERT_FALSE(first.IsWriteEnabled()) << "the first write ended too soon to overlap";
    for (const LoggedCall& open : CallsOf(Calls(), "VT_HIDA", "StartDeviceDetection"))
    {
        EXPECT_EQ(open.ArgumentValue(0), HandleArgument(first));
    }

    // A Kelvra that dies in the middle of a write leaves the device free.
    KillKelvra(first);
    EXPECT_EQ(LinesAfter(second, OperationKind::Write), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(Chip(ChipA), image);

    ExitKelvra();
}

TEST_F(EndToEndTest, LibrariesLoadFromPathButNeverFromTheWorkingFolder)
{
    Install();
    WriteSettings(SettingsFor("845e", "0001", 0));
    // VT-A's library only in the folder Kelvra is started from, VT-B's only on PATH.
    ASSERT_TRUE(MoveFileA((ProgramFolder() + "\\VT_HIDA.dll").c_str(), (WorkingFolder() + "\\VT_HIDA.dll").c_str()));
    const std::string pathFolder = NewFolder("on-path");
    ASSERT_TRUE(MoveFileA((ProgramFolder() + "\\VT_HIDB.dll").c_str(), (pathFolder + "\\VT_HIDB.dll").c_str()));
    PrependToPath(pathFolder);
    const auto& kelvra = Start();

    kelvra.Browse(WriteImage("a.hex", PatternBytes(128, 4)));
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::Write), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    EXPECT_TRUE(Calls().empty());

    kelvra.ChooseFamily(ChipFamily::B);
    kelvra.Browse(WriteImage("b.hex", PatternBytes(256, 5)));
    EXPECT_EQ(LinesAfter(kelvra, OperationKind::Write), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(Chip("VT_HIDB-845E0001.bin"), PatternBytes(256, 5));

    ExitKelvra();
}

}  // namespace
}  // namespace EndToEnd
