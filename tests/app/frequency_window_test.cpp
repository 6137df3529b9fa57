#include "support/window_fixture.h"
