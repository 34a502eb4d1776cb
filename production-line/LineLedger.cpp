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

std::string Quoted(const std::string& text)
{
    return Joined({"\"", text, "\""});
}
}  // namespace

UnitNaming UnitNaming::Series(const SerialSeries::Form& form)
{
    UnitNaming naming(Kind::Series);
    naming.m_form = form;
    return naming;
}

UnitNaming UnitNaming::Supplied()
{
    return UnitNaming(Kind::Supplied);
}

UnitNaming UnitNaming::Numbers()
{
    return UnitNaming(Kind::Numbers);
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
    if (name.empty() || name.size() > LongestUnitNumber || name.find_first_not_of("0123456789") != std::string::npos)
    {
        return "is not a unit number";
    }
    return std::string();
}

std::string UnitNaming::SeriesProblem(const std::string& name) const
{
    if (!name.empty() && (name.front() == ' ' || name.back() == ' '))
    {
        return name.back() == ' ' ? "ends with a space" : "starts with a space";
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

std::string UnitNaming::Describe() const
{
    switch (m_kind)
    {
    case Kind::Series:
        return Joined({"serials ", Quoted(m_form.prefix), " then ", std::to_string(m_form.width), " digits, from ",
                       NameOf(m_form.number)});
    case Kind::Supplied:
        return "serials of up to 13 printable ASCII characters";
    case Kind::Numbers:
        break;
    }
    return "unit numbers from 1";
}

std::uint64_t UnitNaming::NumberOf(const std::string& name) const
{
    const size_t digits = m_kind == Kind::Series ? m_form.prefix.size() : 0;
    std::uint64_t number = 0;
    for (size_t index = digits; index < name.size(); ++index)
    {
        number = number * 10 + static_cast<std::uint64_t>(name[index] - '0');
    }
    return number;
}

std::string UnitNaming::NameOf(std::uint64_t number) const
{
    return m_kind == Kind::Series ? SerialSeries::SerialOf(m_form, number) : std::to_string(number);
}

std::uint64_t UnitNaming::First() const
{
    return m_kind == Kind::Series ? m_form.number : 1;
}

std::uint64_t UnitNaming::Limit() const
{
    return m_kind == Kind::Series ? SerialSeries::Limit(m_form) : 1000000000000000000ULL;
}

std::string SerialProblem(const std::string& text)
{
    const size_t capacity = Family0Image::SerialNumberField.capacity;
    if (text.empty())
    {
        return "is empty";
    }
    if (text.size() > capacity)
    {
        return Joined({"has ", std::to_string(text.size()), " characters, and a serial number holds at most ",
                       std::to_string(capacity)});
    }
    for (char character : text)
    {
        if (character < 0x20 || character > 0x7E)
        {
            return "has a character that is not printable ASCII";
        }
    }
    if (text.front() == ' ' || text.back() == ' ')
    {
        return text.back() == ' ' ? "ends with a space" : "starts with a space";
    }
    return std::string();
}

bool LineLedger::Account(const std::vector<LineRow>& rows, std::string& problem)
{
    for (const LineRow& row : rows)
    {
        const std::string wrong = m_naming.Problem(row.unit);
        if (!wrong.empty())
        {
            problem = Joined({"its row ", std::to_string(row.row), " names ", Quoted(row.unit), ", which ", wrong,
                              "; this line gives ", m_naming.Describe()});
            return false;
        }
        if (row.result == ReservedResult)
        {
            m_unresolved.push_back(&row);
            continue;
        }
        const auto reservation = std::find_if(m_unresolved.rbegin(), m_unresolved.rend(),
                                              [&row](const LineRow* reserved) { return reserved->unit == row.unit; });
        if (reservation != m_unresolved.rend())
        {
            m_unresolved.erase(std::next(reservation).base());
        }
        Note(row.unit, row.result);
    }
    return true;
}

void LineLedger::Note(const std::string& unit, std::string_view result)
{
    if (result == ReservedResult)
    {
        return;
    }
    const bool failed = result == FailResult;
    Insert(result == PassResult ? m_passed : failed ? m_failed : m_void, unit);
    if (m_naming.Counts() && (!failed || m_failedAreUsed))
    {
        m_next = std::max(m_next, m_naming.NumberOf(unit) + 1);
    }
}

std::string LineLedger::Refusal(const std::string& unit) const
{
    if (Holds(m_passed, unit))
    {
        return "passed in this log already";
    }
    if (Holds(m_void, unit))
    {
        return "is void in this log: it may be on a unit whose result was never logged";
    }
    if (m_failedAreUsed && Holds(m_failed, unit))
    {
        return "failed in this log, and a failed unit's serial is not used again";
    }
    return std::string();
}

bool LineLedger::Holds(const std::vector<std::string>& sorted, const std::string& unit)
{
    return std::binary_search(sorted.begin(), sorted.end(), unit);
}

void LineLedger::Insert(std::vector<std::string>& sorted, const std::string& unit)
{
    const auto place = std::lower_bound(sorted.begin(), sorted.end(), unit);
    if (place == sorted.end() || *place != unit)
    {
        sorted.insert(place, unit);
    }
}
