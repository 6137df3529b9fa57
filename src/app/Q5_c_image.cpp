// The form to an image and back: the packing is q5::image's and the order of
// the controls the form's.
#include "app/Q5_c.h"

void TMain_Page::encode_image() { run([this] { image_ = form_.encode(); }); }

void TMain_Page::decode_image() { run([this] { form_.decode(image_); }); }
