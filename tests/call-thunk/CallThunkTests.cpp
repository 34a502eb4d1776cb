// The 32-bit call thunk run as i386 code: callees of either convention, with the exports'
// argument counts, get their words in order and return their result, and every call leaves esp
// and the callee-saved registers as they were. The same check must catch a stdcall callee called
// through a plain cdecl pointer.
#include "ExportCall.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct Registers
{
    std::uint32_t ebx, esi, edi, ebp, esp;
};

extern "C"
{
    // Kept outside the stack, so CallProbe finds its way back however the call left esp.
    Registers probeBefore, probeAfter;
    std::uint32_t probeSavedStack, probeArgumentBytes;

    // Calls function with count words, either through the thunk or the way compiled code calls a
    // cdecl pointer, and records the registers just before and just after. ebx, esi, edi and ebp
    // carry marked values across the call.
    __attribute__((naked)) int CallProbe(const void*, const std::uint32_t*, std::uint32_t, int)
    {
        asm("pushl %ebp\n\t"
            "pushl %ebx\n\t"
            "pushl %esi\n\t"
            "pushl %edi\n\t"
            "movl %esp, probeSavedStack\n\t"
            "movl 20(%esp), %eax\n\t"  // function
            "movl 24(%esp), %edx\n\t"  // words
            "movl 28(%esp), %ecx\n\t"  // count
            "leal 0(,%ecx,4), %ebx\n\t"
            "movl %ebx, probeArgumentBytes\n\t"
            "cmpl $0, 32(%esp)\n\t"  // through the thunk? The moves below keep the flags.
            "movl $0x0B0B0B0B, %ebx\n\t"
            "movl $0x51515151, %esi\n\t"
            "movl $0xD1D1D1D1, %edi\n\t"
            "movl $0xBBBBBBBB, %ebp\n\t"
            "movl %ebx, probeBefore\n\t"
            "movl %esi, probeBefore+4\n\t"
            "movl %edi, probeBefore+8\n\t"
            "movl %ebp, probeBefore+12\n\t"
            "movl %esp, probeBefore+16\n\t"
            "jne 3f\n\t"
            "testl %ecx, %ecx\n\t"  // plain cdecl: push, call, the caller removes the words
            "jz 2f\n"
            "1:\n\t"
            "pushl -4(%edx,%ecx,4)\n\t"
            "decl %ecx\n\t"
            "jnz 1b\n"
            "2:\n\t"
            "call *%eax\n\t"
            "addl probeArgumentBytes, %esp\n\t"
            "jmp 4f\n"
            "3:\n\t"
            "pushl %ecx\n\t"
            "pushl %edx\n\t"
            "pushl %eax\n\t"
            "call CallWithArgumentWords\n\t"
            "addl $12, %esp\n"
            "4:\n\t"
            "movl %ebx, probeAfter\n\t"
            "movl %esi, probeAfter+4\n\t"
            "movl %edi, probeAfter+8\n\t"
            "movl %ebp, probeAfter+12\n\t"
            "movl %esp, probeAfter+16\n\t"
            "movl probeSavedStack, %esp\n\t"
            "popl %edi\n\t"
            "popl %esi\n\t"
            "popl %ebx\n\t"
            "popl %ebp\n\t"
            "ret\n");
    }
}

namespace
{
// What the last callee received, and where the stack pointer stood at its call.
std::vector<std::uint32_t> receivedWords;
std::uintptr_t stackAtCall = 0;

// Differs for every callee.
int ResultOf(std::size_t wordCount, bool stdcall)
{
    return static_cast<int>(0x5EED0000u + (stdcall ? 0x100u : 0u) + wordCount);
}

int Receive(void* frame, std::initializer_list<std::uint32_t> words, bool stdcall)
{
    receivedWords = words;
    // Above the frame pointer: the saved ebp, the return address, then the first word.
    stackAtCall = reinterpret_cast<std::uintptr_t>(frame) + 8;
    return ResultOf(words.size(), stdcall);
}

template <class... Words> __attribute__((cdecl)) int CdeclCallee(Words... words)
{
    return Receive(__builtin_frame_address(0), {words...}, false);
}

template <class... Words> __attribute__((stdcall)) int StdcallCallee(Words... words)
{
    return Receive(__builtin_frame_address(0), {words...}, true);
}

template <std::size_t> using Word = std::uint32_t;

struct Callee
{
    std::string name;
    const void* function;
    std::uint32_t wordCount;
    bool stdcall;

    int Result() const { return ResultOf(wordCount, stdcall); }
};

void PrintTo(const Callee& callee, std::ostream* out)
{
    *out << callee.name;
}

template <std::size_t... Index> std::vector<Callee> CalleesWith(std::index_sequence<Index...>)
{
    const std::uint32_t count = sizeof...(Index);
    const auto name = std::to_string(count) + "Words";
    return {{"Cdecl" + name, reinterpret_cast<const void*>(&CdeclCallee<Word<Index>...>), count, false},
            {"Stdcall" + name, reinterpret_cast<const void*>(&StdcallCallee<Word<Index>...>), count, true}};
}

// The argument counts of the driver exports.
std::vector<Callee> AllCallees()
{
    std::vector<Callee> callees;
    for (auto&& some : {CalleesWith(std::make_index_sequence<0>()), CalleesWith(std::make_index_sequence<2>()),
                        CalleesWith(std::make_index_sequence<4>()), CalleesWith(std::make_index_sequence<6>()),
                        CalleesWith(std::make_index_sequence<12>())})
    {
        callees.insert(callees.end(), some.begin(), some.end());
    }
    return callees;
}

std::vector<std::uint32_t> DistinctWords(std::uint32_t count)
{
    std::vector<std::uint32_t> words;
    for (std::uint32_t index = 0; index < count; ++index)
    {
        words.push_back(0xC0DE0001u + 0x00010101u * index);
    }
    return words;
}

::testing::AssertionResult StackAndSavedRegistersKept()
{
    const char* names[] = {"ebx", "esi", "edi", "ebp", "esp"};
    const std::uint32_t* before = &probeBefore.ebx;
    const std::uint32_t* after = &probeAfter.ebx;
    std::string changes;
    for (int index = 0; index < 5; ++index)
    {
        if (before[index] != after[index])
        {
            changes += std::string(" ") + names[index] + " moved by " +
                       std::to_string(static_cast<std::int32_t>(after[index] - before[index]));
        }
    }
    if (changes.empty())
    {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "after the call:" << changes;
}

class CallConvention : public ::testing::TestWithParam<Callee>
{
};

TEST_P(CallConvention, ThunkDeliversTheWordsInOrderAndKeepsTheStack)
{
    const Callee& callee = GetParam();
    const auto words = DistinctWords(callee.wordCount);
    EXPECT_EQ(CallProbe(callee.function, words.data(), callee.wordCount, 1), callee.Result());
    EXPECT_EQ(receivedWords, words);
    EXPECT_TRUE(StackAndSavedRegistersKept());
    EXPECT_EQ(stackAtCall % 16, 0u) << "the stack is 16-byte aligned at the call";
}

// Without the thunk a stdcall callee removes its words and the caller removes them again.
TEST_P(CallConvention, PlainCdeclCallOfAStdcallCalleeIsCaught)
{
    const Callee& callee = GetParam();
    const auto words = DistinctWords(callee.wordCount);
    EXPECT_EQ(CallProbe(callee.function, words.data(), callee.wordCount, 0), callee.Result());
    EXPECT_EQ(receivedWords, words);
    const bool stackMoves = callee.stdcall && callee.wordCount > 0;
    EXPECT_EQ(static_cast<bool>(StackAndSavedRegistersKept()), !stackMoves);
    EXPECT_EQ(probeAfter.esp - probeBefore.esp, stackMoves ? 4 * callee.wordCount : 0u);
}

INSTANTIATE_TEST_SUITE_P(ExportArgumentCounts, CallConvention, ::testing::ValuesIn(AllCallees()),
                         [](const auto& info) { return info.param.name; });

// The product's path: a pointer typed cdecl, as the exports are, to a callee of either
// convention; pointers and integers arrive as words in order.
TEST(CallExport, TypedCallOfEitherConventionPassesEachArgumentAsAWord)
{
    using BurnFunction = int (*)(std::uint32_t, std::uint32_t, std::uint8_t*, std::uint32_t);
    std::uint8_t buffer[4] = {};
    const std::vector<std::uint32_t> expected = {1, 0, reinterpret_cast<std::uintptr_t>(buffer), 256};
    for (const Callee& callee : CalleesWith(std::make_index_sequence<4>()))
    {
        const auto burn = reinterpret_cast<BurnFunction>(const_cast<void*>(callee.function));
        EXPECT_EQ(CallExport(burn, 1, 0, buffer, 256u), callee.Result()) << callee.name;
        EXPECT_EQ(receivedWords, expected) << callee.name;
    }
}
}  // namespace
