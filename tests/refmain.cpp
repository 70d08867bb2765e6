// sonoref: the program with the reference steps of reference.h, for the
// identity tests to compare the real program with, byte for byte.
#include "reference.h"

int main() {
  refdriver();
}
