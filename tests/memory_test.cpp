// Whole-run memory figures: the program's peak resident memory does not
// grow with the length of the history, and it allocates nothing on the
// heap once the start-up dialogue has opened its streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"

namespace {

struct measured {
  int status = -1;
  long maxrsskb = 0;
};

// Runs the program in dir with these replies, console to /dev/null, and
// takes its own resource figures from wait4. preload, if given, is the
// allocation counter.
measured measure(const e2e& t, const std::string& replies, const char* preload = nullptr) {
  t.put(".stdin", replies);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int in = open(t.path(".stdin").c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || chdir(t.dir().c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    if (preload) {
      setenv("LD_PRELOAD", preload, 1);
      setenv("SONOTRACE_MALLOCS", t.path(".mallocs").c_str(), 1);
    }
    execl(SONOTRACE_BIN, "sonotrace", (char*)nullptr);
    _exit(127);
  }
  measured m;
  int ws;
  rusage ru;
  if (wait4(pid, &ws, 0, &ru) == pid && WIFEXITED(ws)) m.status = WEXITSTATUS(ws);
  m.maxrsskb = ru.ru_maxrss;
  return m;
}

long lines(const std::string& s) {
  return std::count(s.begin(), s.end(), '\n');
}

// 1 000 000 and 10 000 000 records (about 21 MB and 212 MB), windows of
// 262144: 3 and 38 segments, the whole of both buffers in use in each run.
TEST(Memory, PeakResidentMemoryDoesNotGrowWithTheHistory) {
  e2e t;
  t.gen("small.txt", "-n 1000000 -kind sweep -f 50 -f2 400 -noise 0.1");
  t.gen("large.txt", "-n 10000000 -kind sweep -f 50 -f2 400 -noise 0.1");
  measured small = measure(t, "small.txt\n262144\n");
  EXPECT_EQ(lines(t.get("sonotrace.out")), 3);
  measured large = measure(t, "large.txt\n262144\n");
  EXPECT_EQ(lines(t.get("sonotrace.out")), 38);
  EXPECT_EQ(small.status, 1);
  EXPECT_EQ(large.status, 1);
  std::printf("peak resident memory: %ld kB for 1e6 records, %ld kB for 1e7 records\n",
              small.maxrsskb, large.maxrsskb);
  RecordProperty("maxrss_kb_1e6", int(small.maxrsskb));
  RecordProperty("maxrss_kb_1e7", int(large.maxrsskb));
  EXPECT_LT(std::labs(large.maxrsskb - small.maxrsskb), 1024);
}

#ifdef MALLOCOUNT_SO
// Counts every allocation of a run, libc's own included, through a
// preloaded counter. A run that ends at the first prompt gives what the
// process needs before the program's first operation; after it, only the
// four streams of the start-up dialogue may be allocated, however long the
// history and however many segments.
TEST(Memory, NothingIsAllocatedAfterStartUp) {
  e2e t;
  t.put("four.txt", "0 1\n1 2\n2 3\n3 4\n");
  t.gen("million.txt", "-n 1000000 -kind sweep -f 50 -f2 400");
  const std::string counts = t.path(".mallocs");
  for (const char* replies : {"", "four.txt\n2\n", "million.txt\n1024\n"})
    EXPECT_EQ(measure(t, replies, MALLOCOUNT_SO).status, 1) << replies;
  EXPECT_EQ(lines(t.get("sonotrace.out")), 976);  // the third run went through
  std::string all = t.get(".mallocs");
  ASSERT_EQ(lines(all), 3) << all;
  long noname = std::atol(all.c_str());
  size_t second = all.find('\n') + 1, third = all.find('\n', second) + 1;
  long four = std::atol(all.c_str() + second), million = std::atol(all.c_str() + third);
  EXPECT_EQ(four, noname + 4) << all;
  EXPECT_EQ(million, noname + 4) << all;
}
#endif

}  // namespace
