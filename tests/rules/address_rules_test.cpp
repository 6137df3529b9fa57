#include "rules/address_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using q5::rules::address_in_range;
using q5::rules::address_range_warning;
using q5::rules::any_two_equal;
using q5::rules::equals_another;
using q5::rules::frame_digit;

struct RangeCase {
  std::int64_t address;
  bool valid;
};

class AddressRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(AddressRange, EdgesOfEveryBlock) {
  EXPECT_EQ(address_in_range(GetParam().address), GetParam().valid) << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Edges, AddressRange,
    ::testing::Values(RangeCase{-8, false}, RangeCase{0, false}, RangeCase{7, false}, RangeCase{8, true},
                      RangeCase{2007663, true}, RangeCase{2007664, false}, RangeCase{2007667, false},
                      RangeCase{2007671, false}, RangeCase{2007672, true}, RangeCase{2045055, true},
                      RangeCase{2045056, false}, RangeCase{2045063, false}, RangeCase{2045064, true},
                      RangeCase{2097143, true}, RangeCase{2097144, false}, RangeCase{2097151, false},
                      RangeCase{9999999, false}));

TEST(FrameDigit, IsTheAddressModuloEight) {
  EXPECT_EQ(frame_digit(8), '0');
  EXPECT_EQ(frame_digit(12), '4');
  EXPECT_EQ(frame_digit(2004000), '0');
  EXPECT_EQ(frame_digit(2007663), '7');
  EXPECT_EQ(frame_digit(2045064), '0');
  EXPECT_EQ(frame_digit(2097143), '7');
}

TEST(FrameDigit, NegativeNumberStillGivesADigit) {
  EXPECT_EQ(frame_digit(-1), '7');
  EXPECT_EQ(frame_digit(-8), '0');
}

TEST(AddressRangeWarning, NamesTheRow) {
  const char* tail = "] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143";
  for (int row = 1; row <= 4; ++row) {
    EXPECT_EQ(address_range_warning(row), "Address [" + std::to_string(row) + tail);
  }
  EXPECT_EQ(address_range_warning(1),
            "Address [1] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143");
}

TEST(AnyTwoEqual, EveryPairCounts) {
  const std::array<std::int64_t, 4> distinct{2004000, 2004008, 2004016, 2004024};
  EXPECT_FALSE(any_two_equal(distinct));
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = i + 1; j < 4; ++j) {
      auto addresses = distinct;
      addresses[j] = addresses[i];
      EXPECT_TRUE(any_two_equal(addresses)) << "rows " << i + 1 << " and " << j + 1;
    }
  }
}

TEST(EqualsAnother, OnlyTheRowsOwnAddressMatters) {
  // Rows 3 and 4 are equal: leaving row 1 or 2 is no reason to keep the focus.
  const std::array<std::int64_t, 4> addresses{2004000, 2004008, 2004016, 2004016};
  EXPECT_TRUE(any_two_equal(addresses));
  EXPECT_FALSE(equals_another(addresses, 0));
  EXPECT_FALSE(equals_another(addresses, 1));
  EXPECT_TRUE(equals_another(addresses, 2));
  EXPECT_TRUE(equals_another(addresses, 3));
}

TEST(EqualsAnother, AdvancedRowOneMeetsRowTwo) {
  const std::array<std::int64_t, 4> addresses{2004008, 2004008, 2004016, 2004024};
  EXPECT_TRUE(equals_another(addresses, 0));
  EXPECT_TRUE(equals_another(addresses, 1));
  EXPECT_FALSE(equals_another(addresses, 2));
  EXPECT_FALSE(equals_another(addresses, 3));
}

TEST(EqualsAnother, RowOutsideTheFourIsNeverEqual) {
  const std::array<std::int64_t, 4> same{8, 8, 8, 8};
  EXPECT_FALSE(equals_another(same, -1));
  EXPECT_FALSE(equals_another(same, 4));
}

}  // namespace
