// Events as JSON: the command line's view (`find`, `history`) and the full
// form kept in the bench's queue of pending events.
#pragma once

#include <nlohmann/json.hpp>

#include "register/register.h"

namespace q5::reg {

// time, bench, operator, cable, command, result, serial_read,
// serial_written, addresses (four {address, enabled}), image_before_sha256
// and image_after_sha256 (null when there is no image).
nlohmann::json event_summary(const PagerEvent& event);

// Every field, the images as 512 hex digits; event_from_json reads it back
// and throws RegisterError for a line that is not such an event.
nlohmann::json event_to_json(const PagerEvent& event);
PagerEvent event_from_json(const nlohmann::json& json);

}  // namespace q5::reg
