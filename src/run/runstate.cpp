#include "run/runstate.h"

#include <cmath>
#include <cstdlib>

// Zeroed at start (it lives in bss, so untouched pages cost no memory).
runstate rs;

// pi is ready before the entry runs.
static const bool pisset = (rs.pi = std::atan2(0.0, -1.0), true);

void quit() {
  std::fflush(stdout);
  std::exit(1);
}
