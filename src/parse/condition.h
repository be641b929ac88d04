// The conditions of the If statement: their codes, their evaluation, and the
// byte comparison that registry values without a text or number form use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/state.h"

namespace tav {

// The kind of condition, as entry 1 of an If line's argument array holds it.
// Codes 1 to 6 are also the operators of RegValue( (entry 2 of its array).
enum ConditionCode : int {
  kCondLessEqual = 1,
  kCondGreaterEqual = 2,
  kCondNotEqual = 3,
  kCondLess = 4,
  kCondGreater = 5,
  kCondEqual = 6,
  kCondExist = 7,
  kCondFilesEqual = 8,
  kCondBios = 9,
  kCondRegKeyExist = 10,
  kCondRegValueExist = 11,
  kCondRegValue = 12,
};

// Entries of an If line's argument array.
enum ConditionEntry : size_t {
  kEntryNegate = 0,
  kEntryCode = 1,
  kEntryFirst = 2,
  kEntrySecond = 3,
  kEntryThird = 4,
};

// The operator code (1 to 6) that an operator word stands for; 0 for any other
// word. Only the whole word counts: "=5" is no operator.
int OperatorCode(std::string_view word);
// Whether a comparison's sign (negative, zero, positive) satisfies operator op.
bool SignSatisfies(int op, int sign);

// Compares a written byte image with stored data by operator op, bytes as
// unsigned values. "=" and "<>" compare length and bytes. "<=" and "<" look
// at the written image's length, ">=" and ">" at the stored data's; within
// that length an operand that ends first sorts before the other, so nothing
// beyond either operand's end is ever read.
bool CompareBytes(int op, std::span<const uint8_t> written, std::span<const uint8_t> stored);

enum class ConditionResult { kFalse, kTrue, kFailed };
inline ConditionResult FromBool(bool value) { return value ? ConditionResult::kTrue : ConditionResult::kFalse; }

// Evaluates the condition of an If line's argument array, negation included.
// kFailed means an error has been reported (a written registry value that
// does not fit the stored value's type).
ConditionResult EvaluateCondition(InterpreterState& st, const ArgumentArray& args);

// Whether some stored value type reads the written value V of RegValue( (a
// number, a quoted string, a list of quoted strings or a byte list). When
// none does, the condition fails with error 14 whenever the value exists.
bool WrittenValueFitsSomeType(const std::string& written);

// The registry side of evaluation: RegValue(N) op V against the current key.
ConditionResult EvaluateRegValue(InterpreterState& st, int op, const std::string& name, const std::string& written);

}  // namespace tav
