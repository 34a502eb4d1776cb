// What a production line's log says of the names its units were given, and
// so which name the next unit may have. A row the line cannot account for
// stops it from starting: a serial it cannot read back from the log could
// be given to a second unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "LineLog.h"
#include "SerialSeries.h"

// How a line names its units: the serials of a series (VT-A), a serial
// supplied for each unit, e.g. scanned from its label (VT-A), or running
// unit numbers from 1 (VT-B, VT-C).
class UnitNaming
{
public:
    static UnitNaming Series(const SerialSeries::Form& form);
    static UnitNaming Supplied();
    static UnitNaming Numbers();

    bool Counts() const { return m_kind != Kind::Supplied; }
    // Why name is not one this line gives; empty when it is.
    std::string Problem(const std::string& name) const;
    // The number in a counted name, once Problem found none.
    std::uint64_t NumberOf(const std::string& name) const;
    std::string NameOf(std::uint64_t number) const;
    std::uint64_t First() const;
    // The first number past the series; one that cannot be named.
    std::uint64_t Limit() const;

private:
    enum class Kind
    {
        Series,
        Supplied,
        Numbers,
    };
    explicit UnitNaming(Kind kind) : m_kind(kind) {}
    std::string SeriesProblem(const std::string& name) const;

public:
    // What names this line gives, for a message.
    std::string Describe() const;

private:
    Kind m_kind;
    SerialSeries::Form m_form;
};

// Why text cannot be written as a VT-A serial number; empty when it can.
std::string SerialProblem(const std::string& text);

class LineLedger
{
public:
    // failedAreUsed: a failed unit's name is not given again (skip failed).
    LineLedger(const UnitNaming& naming, bool failedAreUsed)
        : m_naming(naming), m_failedAreUsed(failedAreUsed), m_next(naming.First())
    {
    }

    // Takes the rows of an opened log; false with problem at the first row
    // whose unit this line cannot account for.
    bool Account(const std::vector<LineRow>& rows, std::string& problem);
    // Takes the result of a row just appended.
    void Note(const std::string& unit, std::string_view result);

    bool Passed(const std::string& unit) const { return Holds(m_passed, unit); }
    // Why unit may not be given to a unit (it passed, is void, or failed
    // while failed names are not given again); empty when it may.
    std::string Refusal(const std::string& unit) const;
    // Of the rows accounted for, the reservations with no result after them.
    const std::vector<const LineRow*>& Unresolved() const { return m_unresolved; }
    // The first counted name after every one given, and never before the first.
    std::uint64_t NextNumber() const { return m_next; }

private:
    static bool Holds(const std::vector<std::string>& sorted, const std::string& unit);
    static void Insert(std::vector<std::string>& sorted, const std::string& unit);

    UnitNaming m_naming;
    bool m_failedAreUsed;
    // Sorted, for a log of many thousand rows.
    std::vector<std::string> m_passed;
    std::vector<std::string> m_void;
    std::vector<std::string> m_failed;
    std::vector<const LineRow*> m_unresolved;
    std::uint64_t m_next;
};
