// What the 32-bit call thunk adds to a driver export call: the same callees called directly
// through a cdecl pointer and through CallExport, in rounds, as one Markdown row for
// scripts/bench.sh (figures only).
#include "ExportCall.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
using Word = std::uint32_t;
using TwelveWordFunction = int (*)(Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word);

__attribute__((noinline)) int TwelveWords(Word a, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word l)
{
    return static_cast<int>(a + l);
}

// Volatile, so neither call is inlined or hoisted out of the loop.
TwelveWordFunction volatile callee = &TwelveWords;

template <class Call> double NanosecondsPerCall(Call call)
{
    constexpr int Calls = 200000;
    const auto start = std::chrono::steady_clock::now();
    int sum = 0;
    for (int index = 0; index < Calls; ++index)
    {
        sum += call(static_cast<Word>(index));
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    if (sum == 1)
    {
        std::puts("");
    }
    return elapsed.count() / Calls;
}
}  // namespace

int main()
{
    std::vector<double> extra;
    for (int round = 0; round < 21; ++round)
    {
        const double direct = NanosecondsPerCall([](Word w) { return callee(w, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, w); });
        const double thunk =
            NanosecondsPerCall([](Word w) { return CallExport(callee, w, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, w); });
        extra.push_back(thunk - direct);
    }
    std::sort(extra.begin(), extra.end());
    std::printf("| Call thunk, extra time per 12-word export call (i386 Linux) | %.1f / %.1f / %.1f ns "
                "(min / median / max) | nanoseconds |\n",
                extra.front(), extra[extra.size() / 2], extra.back());
}
