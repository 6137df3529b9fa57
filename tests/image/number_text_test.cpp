// Strict text-to-number conversion of the integer fields and the frequency.
#include <gtest/gtest.h>

#include "image/frequency.h"
#include "image/number_text.h"

namespace q5 {
namespace {

TEST(StrictToInt, AcceptsSignAndDigitsOnly) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {{"0", 0},   {"03", 3},   {"12", 12},           {"+7", 7},
                        {"-7", -7}, {"000", 0},  {"2147483647", 2147483647},
                        {"-2147483648", -2147483647 - 1}};
  for (const Case& c : cases) EXPECT_EQ(strict_to_int(c.text), c.value) << c.text;
}

TEST(StrictToInt, RejectsAnythingElseWithTheUsersMessage) {
  const char* bad[] = {"", " ", "+", "-", " 1", "1 ", "1a", "0x10", "1.0", "--1", "+-1", "2147483648",
                       "-2147483649", "99999999999999999999999"};
  for (const char* text : bad) {
    try {
      strict_to_int(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(ConversionMessages, QuoteTheTextVerbatim) {
  EXPECT_EQ(invalid_integer_message(""), "'' is not a valid integer value");
  EXPECT_EQ(invalid_float_message("13 8"), "'13 8' is not a valid floating point value");
}

TEST(ParseFrequency, ExactMillihertz) {
  struct Case {
    const char* text;
    std::int64_t millihertz;
  };
  const Case cases[] = {
      {"138.97500", 138'975'000'000},   {"065.66250", 65'662'500'000}, {"000.00000", 0},
      {"138.", 138'000'000'000},        {".5", 500'000'000},            {"7", 7'000'000'000},
      {"-5.0", -5'000'000'000},         {"+21.4", 21'400'000'000},      {"1.123456789", 1'123'456'789},
      {"1.1234567891", 1'123'456'789},  // past the ninth decimal is dropped
      {"999999999", 999'999'999'000'000'000},
  };
  for (const Case& c : cases) EXPECT_EQ(image::parse_frequency(c.text).millihertz, c.millihertz) << c.text;
}

TEST(ParseFrequency, RejectsWhatIsNotANumber) {
  const char* bad[] = {"", ".", "+", "-.", "138.975.0", "1:8.97500", " 138", "138 ", "1e3", "1,5", "1234567890"};
  for (const char* text : bad) {
    try {
      image::parse_frequency(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid floating point value");
    }
  }
}

}  // namespace
}  // namespace q5
