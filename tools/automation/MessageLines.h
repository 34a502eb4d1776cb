// Which of Kelvra's message list lines ends an operation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KelvraTexts.h"

namespace KelvraAutomation
{

// What a press of Write or Verify runs. WriteThenVerify is a write of a
// Kelvra set up with AUTOVERIFY: a successful write is followed by a verify,
// and only the verify's outcome ends it. (Waited for as a plain Write, such a
// write ends before its verify has run.)
enum class OperationKind
{
    Write,
    Verify,
    WriteThenVerify
};

const char* OperationName(OperationKind kind);

// The line of the list that ends an operation of this kind, if the list
// already holds one. Lines of another kind's outcome do not count, so a
// WriteThenVerify is not over at "Write Success!".
std::optional<std::string> FinalLineOf(OperationKind kind, const std::vector<std::string>& lines);

}  // namespace KelvraAutomation
