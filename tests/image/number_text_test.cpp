// Strict text-to-number conversion of the integer fields and the frequency.
#include <gtest/gtest.h>

#include <utility>

#include "image/frequency.h"
#include "image/number_text.h"

namespace q5 {
namespace {

// Each text must be refused with the message the user is shown.
template <typename Convert>
void expect_refused(Convert convert, std::initializer_list<const char*> texts, const std::string& kind) {
  for (const char* text : texts) {
    try {
      convert(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid " + kind);
    }
  }
}

TEST(StrictToInt, AcceptsSignAndDigitsOnly) {
  const std::pair<const char*, std::int32_t> cases[] = {{"0", 0},   {"03", 3},   {"12", 12},           {"+7", 7},
                        {"-7", -7}, {"000", 0},  {"2147483647", 2147483647},
                        {"-2147483648", -2147483647 - 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(strict_to_int(text), value) << text;
  expect_refused(strict_to_int,
                 {"", " ", "+", "-", " 1", "1 ", "1a", "0x10", "1.0", "--1", "+-1", "2147483648", "-2147483649",
                  "99999999999999999999999"},
                 "integer value");
}

TEST(ParseFrequency, ExactMillihertzOrRefused) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"138.97500", 138'975'000'000},   {"065.66250", 65'662'500'000}, {"000.00000", 0},
      {"138.", 138'000'000'000},        {".5", 500'000'000},            {"7", 7'000'000'000},
      {"-5.0", -5'000'000'000},         {"+21.4", 21'400'000'000},      {"1.123456789", 1'123'456'789},
      {"1.1234567891", 1'123'456'789},  // past the ninth decimal is dropped
      {"999999999", 999'999'999'000'000'000},
  };
  for (const auto& [text, mhz] : cases) EXPECT_EQ(image::parse_frequency(text).millihertz, mhz) << text;
  expect_refused(image::parse_frequency,
                 {"", ".", "+", "-.", "138.975.0", "1:8.97500", " 138", "138 ", "1e3", "1,5", "1234567890"},
                 "floating point value");
}

}  // namespace
}  // namespace q5
