#include "rules/address_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using namespace q5::rules;

TEST(AddressRules, EdgesOfEveryBlockAndTheFrameDigit) {
  struct Case {
    std::int64_t address;
    bool valid;
    char frame;
  };
  const Case cases[] = {{-8, false, '0'},      {-1, false, '7'},      {0, false, '0'},       {7, false, '7'},
                        {8, true, '0'},        {12, true, '4'},       {2004000, true, '0'},  {2007663, true, '7'},
                        {2007664, false, '0'}, {2007671, false, '7'}, {2007672, true, '0'},  {2045055, true, '7'},
                        {2045056, false, '0'}, {2045063, false, '7'}, {2045064, true, '0'},  {2097143, true, '7'},
                        {2097144, false, '0'}, {2097151, false, '7'}, {9999999, false, '7'}};
  for (const Case& c : cases) {
    EXPECT_EQ(address_in_range(c.address), c.valid) << c.address;
    EXPECT_EQ(frame_digit(c.address), c.frame) << c.address;
  }
  EXPECT_EQ(address_range_warning(1),
            "Address [1] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143");
  EXPECT_EQ(address_range_warning(4),
            "Address [4] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143");
}

TEST(AddressRules, EveryPairCountsAsEqual) {
  const std::array<std::int64_t, 4> distinct{2004000, 2004008, 2004016, 2004024};
  EXPECT_FALSE(any_two_equal(distinct));
  for (int row = -1; row <= 4; ++row) EXPECT_FALSE(equals_another(distinct, row));
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) {
      auto addresses = distinct;
      addresses[j] = addresses[i];
      EXPECT_TRUE(any_two_equal(addresses)) << "rows " << i + 1 << " and " << j + 1;
      // Only the rows in the pair equal another: leaving any other row is no
      // reason to keep the focus.
      for (int row = 0; row < 4; ++row) EXPECT_EQ(equals_another(addresses, row), row == i || row == j) << row;
    }
  }
  const std::array<std::int64_t, 4> same{8, 8, 8, 8};  // a row outside the four is never equal
  EXPECT_FALSE(equals_another(same, -1));
  EXPECT_FALSE(equals_another(same, 4));
}

}  // namespace
