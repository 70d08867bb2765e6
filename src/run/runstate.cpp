#include "run/runstate.h"

#include <cmath>
#include <cstdlib>

#include "run/seam.h"

// Zeroed at start (it lives in bss, so untouched pages cost no memory).
runstate rs;

// pi is ready before the entry runs.
static const bool pisset = (rs.pi = std::atan2(0.0, -1.0), true);

#ifdef SONOTRACE_SEAM
seamstate seam;
#endif

void quit() {
  std::fflush(stdout);
#ifdef SONOTRACE_SEAM
  if (seam.exit) std::longjmp(*seam.exit, 1);
#endif
  std::exit(1);
}
