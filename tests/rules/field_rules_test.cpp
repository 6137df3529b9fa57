#include "rules/field_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace q5::rules;

TEST(FieldRules, LimitsKeepOrReplaceWithTheirExactWarning) {
  const std::string vib = "The Special vibrate time value range out,the max is 12 seconds ";
  const std::string typing = "The number of message value range out,the max is 12  ";
  const std::string leaving = "The number of message value range out ";
  struct Case {
    std::optional<Correction> (*rule)(int);
    const std::string& warning;
    int value;
    const char* replacement;  // nullptr: the value is kept
  };
  const Case cases[] = {
      {special_vib_time_change, vib, 0, nullptr}, {special_vib_time_change, vib, 12, nullptr},
      {special_vib_time_change, vib, 13, "12"},   {special_vib_time_change, vib, 99, "12"},
      {num_message_change, typing, 0, nullptr},   {num_message_change, typing, 12, nullptr},
      {num_message_change, typing, 13, "12"},     {num_message_change, typing, 99, "12"},
      {num_message_exit, leaving, 0, "1"},        {num_message_exit, leaving, 1, nullptr},
      {num_message_exit, leaving, 12, nullptr},   {num_message_exit, leaving, 13, "12"},
      {num_message_exit, leaving, 255, "12"},
      // Not judged by the low byte alone: these would otherwise come out as
      // "1" or pass unchanged. Negative numbers count as very large ones.
      {num_message_exit, leaving, 256, "12"},     {num_message_exit, leaving, 268, "12"},
      {num_message_exit, leaving, -1, "12"},      {num_message_exit, leaving, -256, "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.warning << "/ " << c.value);
    const std::optional<Correction> got = c.rule(c.value);
    EXPECT_EQ(got.has_value(), c.replacement != nullptr);
    if (got && c.replacement) {
      EXPECT_EQ(got->warning, c.warning);
      EXPECT_EQ(got->replacement, c.replacement);
    }
  }
}

TEST(FieldRules, PadWithZerosFillsToTheWidthOnly) {
  EXPECT_EQ(pad_with_zeros("123", kSerialWidth), "00000123");
  EXPECT_EQ(pad_with_zeros("", kSerialWidth), "00000000");
  EXPECT_EQ(pad_with_zeros("12345678", kSerialWidth), "12345678");
  EXPECT_EQ(pad_with_zeros("7", kPasswordWidth), "0007");
  EXPECT_EQ(pad_with_zeros("123456", kPasswordWidth), "123456");
}

TEST(FieldRules, OnlyTheToneOnlyAlertTypesLeaveOutVibration) {
  for (int item = -1; item <= 10; ++item) EXPECT_EQ(alert_type_without_vibration(item), item == 4 || item == 6) << item;
}

}  // namespace
