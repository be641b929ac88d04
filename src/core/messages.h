// Messages, error codes and logs: the error table, the message routine that
// feeds the LOG file and the output window, the error report and the debug log.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"
#include "core/text_width.h"
#include "core/version.h"

namespace tav {

enum ErrorCode : int {
  kErrNone = 0,
  kErrMemory = 1,
  kErrConstruction = 2,
  kErrFileAccess = 3,
  kErrSyntax = 4,
  kErrIfElseMismatch = 5,
  kErrIfBios = 6,
  kErrEndIfMismatch = 7,
  kErrTooManyIfs = 8,
  kErrNoSection = 9,
  kErrNoSectionOrLine = 10,
  kErrNoLine = 11,
  kErrUnknownOption = 12,
  kErrRegCreateOpen = 13,
  kErrRegValueType = 14,
  kErrRegOpen = 15,
  kErrRegDelete = 16,
  kErrUserAbort = 17,
};

// The error table's text for a code ("Syntax error").
const char* ErrorText(int code);

// Line markers: a message line may begin with one, which colours the line in
// the output window and never reaches the LOG file.
constexpr char kErrorMarker = '\xFF';
constexpr char kInfoMarker = '\xFE';
inline bool IsMarker(char c) { return c == kErrorMarker || c == kInfoMarker; }

constexpr const char* kProductVersion = TAV32_PRODUCT;
constexpr const char* kOutputTitle = TAV32_OUTPUT_TITLE;

// Sends a message (lines ended by LF) to the LOG file and the output window.
void PrintMessage(InterpreterState& st, std::string_view text);
// The error report: sets errorCode, records the failure in the debug log and
// sends "TAV32 Error in Line N: text." through the message routine.
void ReportError(InterpreterState& st, int code);
// Appends a message (LF line ends, markers allowed) to the LOG file as the
// message routine does: CR LF, without markers.
void AppendToLogFile(InterpreterState& st, std::string_view working);
// Writes text to the debug log when DEBUG is on.
void WriteDebugLog(InterpreterState& st, std::string_view text);
// Wraps a message for the 80-column output window, counting the columns its
// characters take in the encoding; a character is never split.
std::string WrapForOutput(std::string_view text, TextEncoding encoding = TextEncoding::SingleByte);

}  // namespace tav
