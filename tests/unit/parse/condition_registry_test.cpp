// The registry conditions against a real store: stored data that RegSetValue
// never writes (short numbers, missing NULs, other types, oversized values),
// and RegKeyExist( leaving the current key as it was.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/messages.h"
#include "parse/condition.h"
#include "registry_support.h"

namespace tav {
namespace {

using namespace std::string_literals;

class ConditionRegistry : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    ASSERT_EQ(platform::RegCreate(platform::RegLocalRoot(platform::RegRoot::LocalMachine), "SOFTWARE\\Test", key_), 0);
    st_.currentKey = key_;
  }
  void TearDown() override {
    platform::RegClose(key_);
    test::RegistryTest::TearDown();
  }

  void Store(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    ASSERT_EQ(platform::RegSetValue(key_, name, type, data), 0);
  }
  ConditionResult Value(const std::string& name, int op, const std::string& written) {
    return EvaluateRegValue(st_, op, name, written);
  }
  ConditionResult KeyTest(const std::string& computer, const std::string& path) {
    ArgumentArray args{Argument::Number(0), Argument::Number(kCondRegKeyExist), Argument::Text(computer),
                       Argument::Text(path)};
    return EvaluateCondition(st_, args);
  }

  platform::RegKey key_ = nullptr;
  InterpreterState st_;
};

constexpr ConditionResult kTrue = ConditionResult::kTrue;
constexpr ConditionResult kFalse = ConditionResult::kFalse;
constexpr ConditionResult kFailed = ConditionResult::kFailed;

TEST_F(ConditionRegistry, NumbersCompareUnsignedAndShortDataIsPadded) {
  Store("Big", platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Value("Big", kCondEqual, "4294967295"), kTrue);
  EXPECT_EQ(Value("Big", kCondLess, "0x7FFFFFFF"), kTrue);
  Store("Short", platform::kRegDword, {0x02});
  EXPECT_EQ(Value("Short", kCondEqual, "2"), kTrue);
  Store("Long", platform::kRegDwordBigEndian, {1, 0, 0, 0, 9, 9});
  EXPECT_EQ(Value("Long", kCondEqual, "1"), kTrue);
  EXPECT_EQ(st_.errorCode, 0);
  EXPECT_EQ(Value("Long", kCondEqual, "-1"), kFailed);
  EXPECT_EQ(st_.errorCode, kErrRegValueType);
}

TEST_F(ConditionRegistry, StringsEndAtTheirFirstNul) {
  Store("NoNul", platform::kRegSz, test::Bytes("abc"));
  EXPECT_EQ(Value("NoNul", kCondEqual, "\"ABC\""), kTrue);
  Store("Inner", platform::kRegSz, {'a', 0, 'b', 0});
  EXPECT_EQ(Value("Inner", kCondEqual, "\"a\""), kTrue);
  Store("Empty", platform::kRegSz, {});
  EXPECT_EQ(Value("Empty", kCondEqual, "\"\""), kTrue);
  EXPECT_EQ(Value("Empty", kCondLess, "\"\""), kFalse);
}

TEST_F(ConditionRegistry, ExpandedStringsKeepALonePercentSign) {
  ::setenv("TAV32_CONDITION_TEST", "value", 1);
  Store("Refs", platform::kRegExpandSz, test::Bytes("%TAV32_CONDITION_TEST%/%%/50%\0"s));
  EXPECT_EQ(Value("Refs", kCondEqual, "\"value/%/50%\""), kTrue);
  Store("Unset", platform::kRegExpandSz, test::Bytes("%TAV32_CONDITION_UNSET%\0"s));
  EXPECT_EQ(Value("Unset", kCondEqual, "\"%TAV32_CONDITION_UNSET%\""), kTrue);
  ::unsetenv("TAV32_CONDITION_TEST");
}

TEST_F(ConditionRegistry, OtherTypesCompareAsBytes) {
  Store("None", platform::kRegNone, {7, 8});
  EXPECT_EQ(Value("None", kCondEqual, "7,8"), kTrue);
  Store("Odd", 11, {});
  EXPECT_EQ(Value("Odd", kCondEqual, ""), kTrue);
  EXPECT_EQ(Value("Odd", kCondEqual, "x"), kFailed);
}

TEST_F(ConditionRegistry, ValuesAboveTheQueryBufferAreFalse) {
  Store("Huge", platform::kRegBinary, std::vector<uint8_t>(4097, 1));
  EXPECT_EQ(Value("Huge", kCondNotEqual, "1"), kFalse);
  Store("Fits", platform::kRegBinary, std::vector<uint8_t>(4096, 1));
  EXPECT_EQ(Value("Fits", kCondNotEqual, "1"), kTrue);
}

// A store file written by hand in UTF-8 and a UTF-8 program file speak the
// same text: the stored string comes back in the code page byte for byte.
TEST_F(ConditionRegistry, HandWrittenUtf8TextEqualsTheSameTextOfTheProgram) {
  test::WriteFile(RootFile(),
                  "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
                  "\"Greeting\"=\"h\xC3\xA9llo\"\n\"Price\"=hex(2):ac,20,00,00\n");
  EXPECT_EQ(Value("Greeting", kCondEqual, "\"h\xC3\xA9llo\""), kTrue);
  EXPECT_EQ(Value("Greeting", kCondEqual, "\"HeLLO\""), kFalse);
  EXPECT_EQ(Value("Greeting", kCondEqual, "\"h\xE9llo\""), kFalse) << "Windows-1252 bytes are other text";
  EXPECT_EQ(Value("Price", kCondEqual, "\"\xE2\x82\xAC\""), kTrue);
  EXPECT_EQ(st_.errorCode, 0);
}

// Stored string data that is no Unicode text cannot be compared: error 14
// with a message, and a false condition, whichever way it is asked; the
// value still exists.
TEST_F(ConditionRegistry, StoredTextWithoutAFormInTheCodePageFailsTheComparison) {
  test::WriteFile(RootFile(),
                  "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
                  "\"Broken\"=hex(1):61,00,00,d8,00,00\n");
  EXPECT_EQ(Value("Broken", kCondEqual, "\"a\""), kFalse);
  EXPECT_EQ(Value("Broken", kCondNotEqual, "\"a\""), kFalse);
  EXPECT_EQ(st_.errorCode, kErrRegValueType);
  EXPECT_EQ(platform::RegTakeDiagnostic(), "") << "the message was told";
  st_.errorCode = 0;
  ArgumentArray args{Argument::Number(0), Argument::Number(kCondRegValueExist), Argument::Text("Broken")};
  EXPECT_EQ(EvaluateCondition(st_, args), kTrue);
  EXPECT_EQ(st_.errorCode, 0);
  EXPECT_EQ(platform::RegTakeDiagnostic(), "") << "nothing is left to tell later";
}

TEST_F(ConditionRegistry, KeyTestLeavesTheCurrentKey) {
  EXPECT_EQ(KeyTest("LOCAL", "\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Test"), kTrue);
  EXPECT_EQ(st_.currentKey, key_);
  EXPECT_EQ(KeyTest("LOCAL", "\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing"), kFalse);
  EXPECT_EQ(st_.currentKey, key_);
  EXPECT_FALSE(test::KeyExists("SOFTWARE\\Missing"));
  EXPECT_EQ(KeyTest("LOCAL", "\\\\HKEY_LOCAL_MACHINE"), kFalse);
  EXPECT_EQ(st_.errorCode, kErrRegCreateOpen);
  EXPECT_EQ(st_.currentKey, key_);
  // The current key still works after the tests.
  Store("After", platform::kRegSz, test::Bytes("x\0"s));
  EXPECT_EQ(Value("After", kCondEqual, "\"X\""), kTrue);
}

// A written value that no stored type reads fails whenever the value exists.
TEST(WrittenValue, FitsSomeTypeWhenAnyReaderTakesIt) {
  for (const char* written : {"31", "0x1F", "", "\"C:\\TEMP\"", "\"a\", \"b\"", "1, 2, 255 "}) {
    EXPECT_TRUE(WrittenValueFitsSomeType(written)) << written;
  }
  for (const char* written : {"C:\\TEMP", "\"open", "1, 256", "-1"}) {
    EXPECT_FALSE(WrittenValueFitsSomeType(written)) << written;
  }
}

}  // namespace
}  // namespace tav
