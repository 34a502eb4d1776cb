// What a production line's log says of the names its units were given, and
// so which name the next unit may have. A row the line cannot account for
// stops it from starting: a serial it cannot read back from the log could
// be given to a second unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "DriverLibrary.h"
#include "LineLog.h"
#include "SerialSeries.h"

// How a line names its units: the serials of a series (VT-A), a serial
// supplied for each unit, e.g. scanned from its label (VT-A), or running
// unit numbers from 1 (VT-B, VT-C).
class UnitNaming
{
public:
    // VT-B, VT-C: unit numbers; VT-A: the serials of series, or without one
    // the serials supplied.
    UnitNaming(ChipFamily family, const std::optional<SerialSeries::Form>& series);

    bool Counts() const { return m_kind != Kind::Supplied; }
    // Why name is not one this line gives; empty when it is.
    std::string Problem(const std::string& name) const;
    // The number in a counted name, once Problem found none.
    std::uint64_t NumberOf(const std::string& name) const;
    std::string NameOf(std::uint64_t number) const;
    std::uint64_t First() const { return m_kind == Kind::Series ? m_form.number : 1; }
    // The first number past the series; one that cannot be named.
    std::uint64_t Limit() const { return m_kind == Kind::Series ? SerialSeries::Limit(m_form) : LargestNumber; }

private:
    enum class Kind
    {
        Series,
        Supplied,
        Numbers,
    };
    // Unit numbers of VT-B and VT-C stay far below this.
    static constexpr std::uint64_t LargestNumber = 1000000000000000000ULL;
    std::string SeriesProblem(const std::string& name) const;
    std::optional<std::uint64_t> NumberIn(const std::string& name) const;
    Kind m_kind;
    SerialSeries::Form m_form;
};

// Why text cannot be written as a VT-A serial number; empty when it can.
const char* SerialProblem(const std::string& text);

class LineLedger
{
public:
    // naming must outlive the ledger. failedAreUsed: a failed unit's name
    // goes to no other unit; the counted names go on after it.
    LineLedger(const UnitNaming& naming, bool failedAreUsed)
        : m_naming(naming), m_failedAreUsed(failedAreUsed), m_next(naming.First())
    {
    }

    // Takes the rows of an opened log: empty, or what is wrong with the first
    // row whose unit this line cannot account for.
    std::string Account(const std::vector<LineRow>& rows);
    // Takes a row just appended: a reservation, or a result.
    void Note(const std::string& unit, std::string_view result);

    // Names are compared apart from case: a label scanned in lower case is
    // still the label.
    bool Passed(const std::string& unit) const { return Holds(m_passed, unit); }
    // Why the name unit may not be given again (it passed or is void); empty
    // when it may. A failed one may: a label scanned again is the unit's own.
    const char* Refusal(const std::string& unit) const;
    // unit failed, and has not passed, been reserved or made void since.
    bool FailedLeft(const std::string& unit) const;
    // unit was reserved, and no result has followed yet.
    bool Pending(const std::string& unit) const { return Holds(m_pending, unit); }
    // Logs each reservation of rows left without a result as void, in one
    // append: empty, or what went wrong. voided: the last reservation row of
    // each, in the order of the rows.
    std::string VoidUnresolved(LineLog& log, std::string_view reason, std::vector<LineRow>& voided);
    // The first counted name after every one given, and never before the first.
    std::uint64_t NextNumber() const { return m_next; }

private:
    // Hashed: a start on a log of many thousand rows, in any order, stays linear.
    using Units = std::unordered_set<std::string>;
    static std::string Key(const std::string& unit);
    static bool Holds(const Units& units, const std::string& unit);
    // False when units held it already.
    static bool Insert(Units& units, const std::string& unit);
    static void Remove(Units& units, const std::string& unit);

    const UnitNaming& m_naming;
    bool m_failedAreUsed;
    Units m_passed;
    Units m_void;
    Units m_failed;
    Units m_pending;
    std::uint64_t m_next;
};
