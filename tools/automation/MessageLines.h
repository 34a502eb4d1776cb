// Kelvra's message list texts, and which of them ends an operation.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace KelvraAutomation {

namespace KelvraText {
inline const std::string NoDevice = "Please Plug-in Vantrel Usb Device!";
inline const std::string NoImage = "Please Select Hex File!";
inline const std::string Writing = "Writing ........";
inline const std::string WriteSuccess = "Write Success!";
inline const std::string WriteFail = "Write Fail!";
inline const std::string Verifying = "Verifying ........";
inline const std::string VerifySuccess = "Verify Success!";
inline const std::string VerifyFail = "Verify Fail!";
}  // namespace KelvraText

// What a press of Write or Verify runs. WriteThenVerify is a write of a
// Kelvra set up with AUTOVERIFY: a successful write is followed by a verify,
// and only the verify's outcome ends it. (Waited for as a plain Write, such a
// write ends before its verify has run.)
enum class OperationKind { Write, Verify, WriteThenVerify };

const char* OperationName(OperationKind kind);

// The line of the list that ends an operation of this kind, if the list
// already holds one. Lines of another kind's outcome do not count, so a
// WriteThenVerify is not over at "Write Success!".
std::optional<std::string> FinalLineOf(OperationKind kind, const std::vector<std::string>& lines);

}  // namespace KelvraAutomation
