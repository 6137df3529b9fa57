// Settings to image and back.
#pragma once

#include "image.h"
#include "settings.h"

namespace q5::image {

// Builds the complete, sealed image from scratch. Expects the frequency text
// already snapped to its raster (the window's frequency check does that).
// Digit texts shorter than their field (serial 8, address 7, password 4) are
// taken as if padded with leading zeros; a list without a selection encodes
// as its first item, except pll_chip (the window hands over the chip code;
// a code other than 0, 1, 2 sets neither chip bit, as for the KS8809).
// step_code is stored as its low two bits. A frequency text that is a number
// but not yet in "DDD.DDDDD" shape is stored in that shape.
// Throws ConversionError when the frequency text is not a number.
Image encode(const Settings& settings);

// Reads every field back. Values outside a field's code table come back as
// kNoSelection (lists) or as the odd characters the digit codes give (texts);
// canned_command is kNoSelection for an unknown code (the window then keeps
// the list as it was). Never fails.
Settings decode(const Image& image);

}  // namespace q5::image
