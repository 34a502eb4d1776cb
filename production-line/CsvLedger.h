// The ledger of one station: its CSV log file (LineLog), accounted for by
// LineLedger.
#pragma once

#include "Ledger.h"
#include "LineLedger.h"
#include "LineLog.h"

struct LineSetup;

class CsvLedger final : public Ledger
{
public:
    // setup and naming outlive the ledger.
    CsvLedger(const LineSetup& setup, const UnitNaming& naming);

    LineOutcome Open(std::vector<UnitReport>& voided) override;
    bool HeldNothing() const override { return m_log.Rows().empty(); }
    std::uint64_t NextNumber() override { return m_ledger.NextNumber(); }
    LineOutcome Reserve(std::string& unit, const std::string& device, bool again) override;
    LineOutcome Record(const UnitReport& report, const char* result) override;
    LedgerAnswer Passed(const std::string& unit) override
    {
        return m_ledger.Passed(unit) ? LedgerAnswer::Yes : LedgerAnswer::No;
    }
    std::string Refusal(const std::string& unit) override { return m_ledger.Refusal(unit); }
    bool FailedLeft(const std::string& unit) override { return m_ledger.FailedLeft(unit); }

private:
    std::string AppendRow(const std::string& unit, std::string_view device, std::string_view result,
                          std::string_view firstDifference, std::string_view detail);
    LineOutcome VoidUnresolved(std::vector<UnitReport>& voided);

    const LineSetup& m_setup;
    LineLog m_log;
    LineLedger m_ledger;
};
