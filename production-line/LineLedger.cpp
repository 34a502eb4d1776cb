#include "LineLedger.h"

#include <algorithm>
#include <cctype>

#include "Family0Image.h"
#include "Joined.h"

namespace
{
// Unit numbers of VT-B and VT-C stay far below this.
const size_t LongestUnitNumber = 18;

bool SameIgnoringCase(const std::string& left, const std::string& right)
{
    const auto lower = [](char character)
    {
        return std::tolower(static_cast<unsigned char>(character));
    };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

// A space at either end is easily added by a spreadsheet and hard to see.
const char* SpaceProblem(const std::string& text)
{
    if (!text.empty() && text.back() == ' ')
    {
        return "ends with a space";
    }
    return !text.empty() && text.front() == ' ' ? "starts with a space" : "";
}

std::string Quoted(const std::string& text)
{
    return Joined({"\"", text, "\""});
}
}  // namespace

UnitNaming::UnitNaming(ChipFamily family, const std::optional<SerialSeries::Form>& series)
    : m_kind(family != ChipFamily::A ? Kind::Numbers
             : series                ? Kind::Series
                                     : Kind::Supplied),
      m_form(series.value_or(SerialSeries::Form()))
{
}

std::string UnitNaming::Problem(const std::string& name) const
{
    switch (m_kind)
    {
    case Kind::Series:
        return SeriesProblem(name);
    case Kind::Supplied:
        return SerialProblem(name);
    case Kind::Numbers:
        break;
    }
    return name.size() <= LongestUnitNumber && NumberIn(name) ? std::string() : "is not a unit number";
}

std::optional<std::uint64_t> UnitNaming::NumberIn(const std::string& name) const
{
    // A unit number is a series without prefix, as wide as it is.
    return SerialSeries::NumberOf(m_kind == Kind::Series ? m_form : SerialSeries::Form{"", 0, name.size()}, name);
}

std::string UnitNaming::SeriesProblem(const std::string& name) const
{
    const char* const spaces = SpaceProblem(name);
    if (*spaces != '\0')
    {
        return spaces;
    }
    const Result<SerialSeries::Form> form = SerialSeries::ParseStart(name);
    if (!form.IsOk())
    {
        return "is not letters, '-' or '_' then digits";
    }
    const std::string& prefix = form.Value().prefix;
    if (prefix != m_form.prefix)
    {
        return Joined({"has the prefix ", Quoted(prefix), ", not ", Quoted(m_form.prefix),
                       SameIgnoringCase(prefix, m_form.prefix) ? " (they differ in case)" : ""});
    }
    if (form.Value().width != m_form.width)
    {
        return Joined({"has ", std::to_string(form.Value().width), " digits, not ", std::to_string(m_form.width)});
    }
    return std::string();
}

std::uint64_t UnitNaming::NumberOf(const std::string& name) const
{
    return NumberIn(name).value_or(0);
}

std::string UnitNaming::NameOf(std::uint64_t number) const
{
    return m_kind == Kind::Series ? SerialSeries::SerialOf(m_form, number) : std::to_string(number);
}

const char* SerialProblem(const std::string& text)
{
    static_assert(Family0Image::SerialNumberField.capacity == 13, "the message says 13");
    if (text.empty())
    {
        return "is empty";
    }
    if (text.size() > Family0Image::SerialNumberField.capacity)
    {
        return "is longer than the 13 characters a serial number holds";
    }
    for (char character : text)
    {
        if (character < 0x20 || character > 0x7E)
        {
            return "has a character that is not printable ASCII";
        }
    }
    return SpaceProblem(text);
}

std::string LineLedger::Account(const std::vector<LineRow>& rows)
{
    for (const LineRow& row : rows)
    {
        const std::string wrong = m_naming.Problem(row.unit);
        if (!wrong.empty())
        {
            return Joined({"its row ", std::to_string(row.row), " names ", Quoted(row.unit), ", which ", wrong});
        }
        Note(row.unit, row.result);
    }
    return std::string();
}

void LineLedger::Note(const std::string& unit, std::string_view result)
{
    if (result == ReservedResult)
    {
        Insert(m_pending, unit);
        return;
    }
    Remove(m_pending, unit);
    const bool failed = result == FailResult;
    Insert(result == PassResult ? m_passed : failed ? m_failed : m_void, unit);
    if (m_naming.Counts() && (!failed || m_failedAreUsed))
    {
        m_next = std::max(m_next, m_naming.NumberOf(unit) + 1);
    }
}

std::string LineLedger::VoidUnresolved(LineLog& log, std::string_view reason, std::vector<LineRow>& voided)
{
    // From the end, so each unit's last reservation is the one named.
    Units named;
    const std::vector<LineRow>& rows = log.Rows();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    {
        if (row->result == ReservedResult && Pending(row->unit) && Insert(named, row->unit))
        {
            voided.push_back(*row);
        }
    }
    std::reverse(voided.begin(), voided.end());
    std::vector<NewLineRow> added;
    for (const LineRow& row : voided)
    {
        added.push_back({row.unit, row.device, VoidResult, "", reason});
    }
    const std::string problem = added.empty() ? std::string() : log.Append(added);
    if (!problem.empty())
    {
        voided.clear();
        return problem;
    }
    for (const LineRow& row : voided)
    {
        Note(row.unit, VoidResult);
    }
    return problem;
}

const char* LineLedger::Refusal(const std::string& unit) const
{
    if (Holds(m_passed, unit))
    {
        return "passed in this log already";
    }
    return Holds(m_void, unit) ? "is void in this log" : "";
}

bool LineLedger::FailedLeft(const std::string& unit) const
{
    return Holds(m_failed, unit) && !Holds(m_passed, unit) && !Holds(m_void, unit) && !Holds(m_pending, unit);
}

std::string LineLedger::Key(const std::string& unit)
{
    std::string key = unit;
    for (char& character : key)
    {
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    }
    return key;
}

bool LineLedger::Holds(const Units& units, const std::string& unit)
{
    return units.count(Key(unit)) != 0;
}

bool LineLedger::Insert(Units& units, const std::string& unit)
{
    return units.insert(Key(unit)).second;
}

void LineLedger::Remove(Units& units, const std::string& unit)
{
    units.erase(Key(unit));
}
