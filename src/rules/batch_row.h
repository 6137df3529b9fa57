// The batch log's row for one attempt to write a pager, as the window and
// the command line log it.
#pragma once

#include <ctime>
#include <string>

#include "files/batch_log.h"
#include "rules/form.h"

namespace q5::rules {

// `result` is the text the technician was shown for the attempt. `written`
// is the form as it was encoded for the pager, or null when the attempt
// ended before there was an image to write (the port in use, the link
// check, a pager of the other model): its cells then stay empty.
files::BatchLogRow batch_log_row(std::time_t when, const std::string& result, const Form* written);

}  // namespace q5::rules
