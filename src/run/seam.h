// Test seam, present only in builds that define SONOTRACE_SEAM (the fuzz
// targets): the paths that end the process, wait for a key or read the
// console are turned back to the test, so whole passes can run in process.
// The production build has none of it.
#pragma once
#ifdef SONOTRACE_SEAM
#include <csetjmp>
#include <cstddef>

struct seamstate {
  std::jmp_buf* exit;       // quit() jumps here (value 1) instead of exiting
  const unsigned char* in;  // console replies, in place of standard input
  size_t inlen;
  size_t inpos;       // bytes of in taken so far
  unsigned keywaits;  // key waits met (each returns at once)
};
extern seamstate seam;
#endif
