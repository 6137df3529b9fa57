#include "rules/address_rules.h"

#include <cstddef>

namespace q5::rules {

namespace {

struct Range {
  std::int64_t first;
  std::int64_t last;
};

// The pager cannot use the blocks 2007664-2007671 and 2045056-2045063, nor
// anything from 2^21 - 8 upwards; each gap is one whole frame cycle of 8.
constexpr Range kValidRanges[] = {
    {8, 2007663},
    {2007672, 2045055},
    {2045064, 2097143},
};

}  // namespace

bool address_in_range(std::int64_t address) {
  for (const Range& r : kValidRanges) {
    if (address >= r.first && address <= r.last) return true;
  }
  return false;
}

char frame_digit(std::int64_t address) {
  // A pasted negative number must still give one of "0" to "7", never a
  // character below '0'.
  std::int64_t frame = address % 8;
  if (frame < 0) frame += 8;
  return static_cast<char>('0' + frame);
}

std::string address_range_warning(int row) {
  return "Address [" + std::to_string(row) +
         "] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143";
}

bool any_two_equal(const std::array<std::int64_t, 4>& addresses) {
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    for (std::size_t j = i + 1; j < addresses.size(); ++j) {
      if (addresses[i] == addresses[j]) return true;
    }
  }
  return false;
}

bool equals_another(const std::array<std::int64_t, 4>& addresses, int row) {
  if (row < 0 || row >= static_cast<int>(addresses.size())) return false;
  const auto own = static_cast<std::size_t>(row);
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (i != own && addresses[i] == addresses[own]) return true;
  }
  return false;
}

}  // namespace q5::rules
