#include "run/runstate.h"

int main() {
  driver();
}
