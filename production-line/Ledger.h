// Where a production line's events go: the CSV log of one station, or a
// database that many stations share. Either way a unit's name is reserved,
// and that is on record, before the first write to it, and its result is on
// record before anyone is told it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LineOutcome;
struct UnitReport;

// Whether a unit passed, as far as the ledger can say now.
enum class LedgerAnswer
{
    No,
    Yes,
    Unknown,  // the ledger cannot be asked: treat the unit as not checked
};

class Ledger
{
public:
    virtual ~Ledger() = default;

    // Opens the ledger, accounts for what it holds, and makes void this
    // line's reservations left without a result, each added to voided.
    // LineEnd::None once open.
    virtual LineOutcome Open(std::vector<UnitReport>& voided) = 0;
    // Opened, it held no row: nothing before this run is known to it, as when
    // a log has gone missing. A shared series' history is for status to show.
    virtual bool HeldNothing() const = 0;
    // The counted name the next unit is expected to get. Other lines on a
    // shared ledger may take it first: Reserve says which it gets.
    virtual std::uint64_t NextNumber() = 0;
    // Reserves unit for the unit in hand, on record before it returns. again:
    // unit is the serial that unit failed with, given back to it. A shared
    // ledger may give another counted name, which unit then receives.
    virtual LineOutcome Reserve(std::string& unit, const std::string& device, bool again) = 0;
    // The unit's PASS or FAIL, on record before it returns.
    virtual LineOutcome Record(const UnitReport& report, const char* result) = 0;
    virtual LedgerAnswer Passed(const std::string& unit) = 0;
    // unit failed last, on this line, and went to no unit since.
    virtual bool FailedLeft(const std::string& unit) = 0;
    // Why the supplied name unit may not be given; empty when it may.
    virtual std::string Refusal(const std::string& unit) = 0;
};
