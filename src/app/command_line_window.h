// What the command line asks of the started window.
#pragma once

#include <string>

class TMain_Page;

namespace q5::app {

// Opens `file` (as given on the command line; nothing when empty) as File >
// Open would, once the event loop runs: call it after the window is shown,
// so that the log lines and boxes come over the shown window. The log names
// the file by its absolute path, as a dialog or a drop would.
void open_after_start(TMain_Page& window, const std::string& file);

}  // namespace q5::app
