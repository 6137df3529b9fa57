// Receive addresses: the valid ranges, the frame number, duplicates.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace q5::rules {

// 8 to 2,007,663; 2,007,672 to 2,045,055; 2,045,064 to 2,097,143.
bool address_in_range(std::int64_t address);
// The frame an address is sent in: its value modulo 8, as one digit.
char frame_digit(std::int64_t address);
// "Address [n] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143"
std::string address_range_warning(int row);  // row 1 to 4

// True when any two of the four are equal (pairs 1-2, 1-3, 1-4, 2-3, 2-4, 3-4).
bool any_two_equal(const std::array<std::int64_t, 4>& addresses);
// True when the address of `row` (0 to 3) equals one of the other three.
bool equals_another(const std::array<std::int64_t, 4>& addresses, int row);

}  // namespace q5::rules
