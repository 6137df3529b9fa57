// The simulated pager in place of the parallel ports and the USB board.
#include "app/platform.h"

std::unique_ptr<Platform> make_demo_platform() { return make_platform(q5::jobs::make_simulated_cables()); }
