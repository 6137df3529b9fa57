// Small layout helpers shared by the encoder and the decoder. Internal to the
// image library: the window never needs them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "image.h"

namespace q5::image::detail {

// The four tone-only messages are not evenly spaced: the first sits before
// the settings bytes, the other three after them.
constexpr std::array<std::size_t, kToneOnlyMessages> kToneOnlyOffsets{
    off::tone_only_msg1, off::tone_only_msg2, off::tone_only_msg3, off::tone_only_msg4};

// The slot byte whose low nibble is the address's disable switch (the high
// nibble holds the seventh digit).
constexpr std::size_t kAddressSwitchByte = 3;

// The frequency text "DDD.DDDDD": the point is skipped when packing.
constexpr std::size_t kFrequencyPointIndex = 3;
constexpr std::size_t kFrequencyDigits = 8;

constexpr std::uint8_t kNibbleMask = 0x0F;
constexpr unsigned kNibbleBits = 4;

constexpr std::uint8_t high_nibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte >> kNibbleBits); }
constexpr std::uint8_t low_nibble(std::uint8_t byte) { return static_cast<std::uint8_t>(byte & kNibbleMask); }
// Places the low four bits of value in a byte's high nibble.
constexpr std::uint8_t to_high_nibble(std::uint8_t value) {
  return static_cast<std::uint8_t>((value & kNibbleMask) << kNibbleBits);
}

}  // namespace q5::image::detail
