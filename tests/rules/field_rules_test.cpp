#include "rules/field_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using q5::rules::Correction;

// Compares a rule's answer with the expected replacement, or with none.
void expect_correction(const std::optional<Correction>& got, const std::string& warning,
                       const char* replacement) {
  if (replacement == nullptr) {
    EXPECT_FALSE(got.has_value()) << "unexpected correction to " << got->replacement;
    return;
  }
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->warning, warning);
  EXPECT_EQ(got->replacement, replacement);
}

struct LimitCase {
  int value;
  const char* replacement;  // nullptr: the value is kept
};

TEST(SpecialVibTimeChange, KeepsUpToTwelveSeconds) {
  const std::string warning = "The Special vibrate time value range out,the max is 12 seconds ";
  for (const LimitCase& c : {LimitCase{0, nullptr}, LimitCase{1, nullptr}, LimitCase{12, nullptr},
                             LimitCase{13, "12"}, LimitCase{99, "12"}}) {
    SCOPED_TRACE(c.value);
    expect_correction(q5::rules::special_vib_time_change(c.value), warning, c.replacement);
  }
}

TEST(NumMessageChange, LetsZeroPassWhileTyping) {
  const std::string warning = "The number of message value range out,the max is 12  ";
  for (const LimitCase& c : {LimitCase{0, nullptr}, LimitCase{1, nullptr}, LimitCase{12, nullptr},
                             LimitCase{13, "12"}, LimitCase{99, "12"}}) {
    SCOPED_TRACE(c.value);
    expect_correction(q5::rules::num_message_change(c.value), warning, c.replacement);
  }
}

TEST(NumMessageExit, HoldsOneToTwelve) {
  const std::string warning = "The number of message value range out ";
  for (const LimitCase& c : {LimitCase{0, "1"}, LimitCase{1, nullptr}, LimitCase{12, nullptr},
                             LimitCase{13, "12"}, LimitCase{99, "12"}, LimitCase{255, "12"},
                             // Not judged by the low byte alone: these would
                             // otherwise come out as "1" or pass unchanged.
                             LimitCase{256, "12"}, LimitCase{268, "12"},
                             // Negative numbers count as very large ones.
                             LimitCase{-1, "12"}, LimitCase{-256, "12"}}) {
    SCOPED_TRACE(c.value);
    expect_correction(q5::rules::num_message_exit(c.value), warning, c.replacement);
  }
}

TEST(PadWithZeros, FillsToTheWidthOnly) {
  using q5::rules::kPasswordWidth;
  using q5::rules::kSerialWidth;
  using q5::rules::pad_with_zeros;
  EXPECT_EQ(pad_with_zeros("123", kSerialWidth), "00000123");
  EXPECT_EQ(pad_with_zeros("", kSerialWidth), "00000000");
  EXPECT_EQ(pad_with_zeros("12345678", kSerialWidth), "12345678");
  EXPECT_EQ(pad_with_zeros("7", kPasswordWidth), "0007");
  EXPECT_EQ(pad_with_zeros("1234", kPasswordWidth), "1234");
  EXPECT_EQ(pad_with_zeros("123456", kPasswordWidth), "123456");
}

TEST(AlertTypeWithoutVibration, OnlyTheToneOnlyItems) {
  for (int item = -1; item <= 10; ++item) {
    EXPECT_EQ(q5::rules::alert_type_without_vibration(item), item == 4 || item == 6) << item;
  }
}

}  // namespace
