// The chip session without a dialog, through the driver-library seam: a
// scripted transfer stands in for the library and records its calls.
#include "ChipSession.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
struct Script
{
    int calls = 0;
    int refusedOpens = 0;  // opens refused before the chip answers
    std::vector<BYTE> chip;
};
Script script;

TransferOutcome ScriptedTransfer(const TransferRequest& request, const TransferHooks& hooks)
{
    ++script.calls;
    if (script.refusedOpens > 0)
    {
        --script.refusedOpens;
        return {TransferStatus::OpenFailed, 0, nullptr};
    }
    if (request.direction == TransferDirection::EepromToBuffer)
    {
        std::memcpy(request.buffer, script.chip.data(), request.size);
    }
    if (hooks.progress != nullptr)
    {
        hooks.progress(hooks.context, request.size / 2, request.size / 2);
    }
    return {TransferStatus::Done, request.size / 2, nullptr};
}

class Directions final : public TransferProgress
{
public:
    void Progress(TransferDirection direction, UINT, UINT) override { told.push_back(direction); }
    std::vector<TransferDirection> told;
};

SessionSetup ScriptedSetup(DWORD openRetryWindow = 0)
{
    script = Script();
    script.chip.assign(8, 0x5A);
    SessionSetup setup;
    setup.device = 0x845E0001;
    setup.transfer = ScriptedTransfer;
    setup.openRetryWindow = openRetryWindow;
    return setup;
}

TEST(ChipSession, ReadBackNamesTheFirstDifferenceAndTellsEachDirection)
{
    Directions directions;
    SessionSetup setup = ScriptedSetup();
    setup.progress = &directions;
    ChipSession session(setup);
    std::vector<BYTE> image(8, 0x5A);
    ASSERT_EQ(session.Transfer(ChipFamily::A, TransferDirection::BufferToEeprom, image.data(), 8).status,
              TransferStatus::Done);
    script.chip[3] = 0x00;
    script.chip[6] = 0x01;
    Comparison comparison;
    EXPECT_EQ(session.ReadBack(ChipFamily::A, image, comparison).status, TransferStatus::Done);
    EXPECT_EQ(comparison.differing, 2u);
    EXPECT_EQ(comparison.firstOffset, 3u);
    EXPECT_EQ(comparison.actual, 0x00);
    EXPECT_EQ(directions.told,
              (std::vector<TransferDirection>{TransferDirection::BufferToEeprom, TransferDirection::EepromToBuffer}));
}

TEST(ChipSession, AnInterruptBeforeATransferCallsNoLibrary)
{
    std::atomic<bool> interrupt(true);
    SessionSetup setup = ScriptedSetup();
    setup.interrupt = &interrupt;
    ChipSession session(setup);
    std::vector<BYTE> image(8, 0);
    Comparison comparison;
    EXPECT_EQ(session.ReadBack(ChipFamily::B, image, comparison).status, TransferStatus::Interrupted);
    EXPECT_EQ(script.calls, 0);
    EXPECT_EQ(comparison.differing, 0u);
}

TEST(ChipSession, ARefusedOpenIsTriedAgainOnlyWithinItsWindow)
{
    struct Case
    {
        DWORD window;
        int refusedOpens;
        TransferStatus ends;
        int calls;
    };
    const Case cases[] = {
        {0, 1, TransferStatus::OpenFailed, 1},
        {60000, 2, TransferStatus::Done, 3},
    };
    for (const Case& each : cases)
    {
        ChipSession session(ScriptedSetup(each.window));
        script.refusedOpens = each.refusedOpens;
        std::vector<BYTE> buffer(8, 0);
        EXPECT_EQ(session.Transfer(ChipFamily::C, TransferDirection::EepromToBuffer, buffer.data(), 8).status,
                  each.ends);
        EXPECT_EQ(script.calls, each.calls);
    }
}
}  // namespace
