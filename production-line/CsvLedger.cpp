#include "CsvLedger.h"

#include "Joined.h"
#include "ProductionLine.h"

CsvLedger::CsvLedger(const LineSetup& setup, const UnitNaming& naming)
    : m_setup(setup), m_ledger(naming, !setup.allowDuplicateSerials)
{
}

LineOutcome CsvLedger::Open(std::vector<UnitReport>& voided)
{
    const std::string refused = m_log.Open(m_setup.logFile, m_setup.logName, m_setup.family);
    if (!refused.empty())
    {
        return {LineEnd::LogRefused, refused};
    }
    const std::string unaccounted = m_ledger.Account(m_log.Rows());
    if (!unaccounted.empty())
    {
        return {LineEnd::LogRefused,
                Joined({"the log ", m_setup.logName, " is refused: ", unaccounted,
                        ": nothing was written and the log was left as it is. Mend that row, or use another log."})};
    }
    return VoidUnresolved(voided);
}

std::string CsvLedger::AppendRow(const std::string& unit, std::string_view device, std::string_view result,
                                 std::string_view firstDifference, std::string_view detail)
{
    std::string problem = m_log.Append({{unit, device, result, firstDifference, detail}});
    if (problem.empty())
    {
        m_ledger.Note(unit, result);
    }
    return problem;
}

// A reservation without a result: its unit was perhaps written, perhaps
// passed, when the line was killed or the power failed. No unit gets it again.
LineOutcome CsvLedger::VoidUnresolved(std::vector<UnitReport>& voided)
{
    std::vector<LineRow> rows;
    const std::string problem = m_ledger.VoidUnresolved(m_log, ReasonOf(UnitFault::Interrupted), rows);
    if (!problem.empty())
    {
        return {LineEnd::LogNotWritten, problem};
    }
    for (const LineRow& reserved : rows)
    {
        voided.push_back({reserved.unit, reserved.device, UnitFault::Interrupted, "",
                          Joined({reserved.unit, " was reserved in row ", std::to_string(reserved.row),
                                  " and has no result: it is void, and no unit gets it again (the unit it was meant "
                                  "for may hold it)."})});
    }
    return {};
}

LineOutcome CsvLedger::Reserve(std::string& unit, const std::string& device, bool)
{
    const std::string problem = AppendRow(unit, device, ReservedResult, "", "");
    if (!problem.empty())
    {
        return {LineEnd::LogNotWritten, Joined({problem, ". The unit was not written."})};
    }
    return {};
}

LineOutcome CsvLedger::Record(const UnitReport& report, const char* result)
{
    const std::string problem = AppendRow(report.unit, report.device, result, report.firstDifference, report.detail);
    if (!problem.empty())
    {
        return {LineEnd::LogNotWritten,
                Joined({problem, ". Unit ", report.unit, std::string_view(result) == PassResult ? " passed" : " failed",
                        ", but only its reservation is in the log, which the next start makes void: put the unit "
                        "aside, mend what the error says, then start again."})};
    }
    return {};
}
