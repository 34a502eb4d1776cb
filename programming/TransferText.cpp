// Apart from the transfer itself, so a program that words its failures its
// own way does not carry these texts (the linker keeps every function of an
// object file it takes).
#include "DriverLibrary.h"
#include "Joined.h"

std::string TransferEndText(const TransferOutcome& outcome, ChipFamily family, TransferDirection direction,
                            const std::string& deviceName, UINT size, const char* program, AfterPartialWrite after)
{
    const ChipFamilyTraits& traits = TraitsOf(family);
    const bool writing = direction == TransferDirection::BufferToEeprom;
    const std::string_view library = traits.libraryName;
    const std::string words = std::to_string(size / 2);
    const std::string_view verb = writing ? "writing" : "reading";
    const std::string_view afterFailure = !writing ? " Nothing was compared or saved."
                                          : after == AfterPartialWrite::WriteAgain
                                              ? " The chip may now hold part of the image: write it again."
                                              : " The chip may now hold part of the image.";
    switch (outcome.status)
    {
    case TransferStatus::Done:
        return std::string();
    case TransferStatus::LibraryMissing:
        return Joined({library, " did not load. Put the chip vendor's ", library, " beside ", program,
                       " or in a folder on PATH; the current folder is not searched."});
    case TransferStatus::ExportMissing:
        return Joined({library, " lacks the export ", outcome.missingExport, ", so it is not a ", traits.name,
                       " driver library; nothing was called. Use the chip vendor's."});
    case TransferStatus::OpenFailed:
        return Joined({traits.name, " device ", deviceName, " did not open through ", library,
                       ". Check that it is plugged in and that its chip is a ", traits.name, " chip."});
    case TransferStatus::WordFailed:
        return Joined({verb, " failed at word ", std::to_string(outcome.wordsDone), " of ", words,
                       "; the device was closed.", afterFailure});
    case TransferStatus::BurnFailed:
        return Joined(
            {verb, " ", std::to_string(size), " bytes failed (rmBurnEEPROM); the device was closed.", afterFailure});
    case TransferStatus::Interrupted:
        return Joined({"interrupted after ", std::to_string(outcome.wordsDone), " of ", words,
                       " words; the device was closed.", afterFailure});
    }
    return "the transfer ended in an unknown way";
}
