// The time-history input run end to end on the real binary: the statistics
// pass and its three stops, the window table and reply loop, and the
// segment reader, as whole console transcripts and output files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "input/reader.h"

namespace {

const std::string presskey = "\n Press any key to exit \n";
const std::string timeerror = "\n Time error.  Time values must ascend." + presskey;
const std::string steperror =
    "\n Time Step Error:   \n The time step must be constant. \n" + presskey;
const std::string reading = "\n\n reading time history ";
const std::string noreply = "\n No window size given. \n";

std::string head(const std::string& file) {
  return text::banner + text::opened(file);
}

// The window table as it is printed for a time step; the literal tables
// below pin it for three steps.
std::string table(double stepdt) {
  std::string s = text::table_header;
  for (int k = 1; k <= 18; ++k) {
    double size = double(1 << k);
    char b[128];
    std::snprintf(b, sizeof b, " %ld \t %8.4g \t %8.4g \n", long(1 << k), size * stepdt,
                  1 / (size * stepdt));
    s += b;
  }
  return s;
}

const std::string table0 = std::string(text::table_header) +
                           " 2 \t        0 \t      inf \n"
                           " 4 \t        0 \t      inf \n"
                           " 8 \t        0 \t      inf \n"
                           " 16 \t        0 \t      inf \n"
                           " 32 \t        0 \t      inf \n"
                           " 64 \t        0 \t      inf \n"
                           " 128 \t        0 \t      inf \n"
                           " 256 \t        0 \t      inf \n"
                           " 512 \t        0 \t      inf \n"
                           " 1024 \t        0 \t      inf \n"
                           " 2048 \t        0 \t      inf \n"
                           " 4096 \t        0 \t      inf \n"
                           " 8192 \t        0 \t      inf \n"
                           " 16384 \t        0 \t      inf \n"
                           " 32768 \t        0 \t      inf \n"
                           " 65536 \t        0 \t      inf \n"
                           " 131072 \t        0 \t      inf \n"
                           " 262144 \t        0 \t      inf \n";

TEST(Table, LiteralTablesMatchTheFormat) {
  EXPECT_EQ(table(1), text::table1s);
  EXPECT_EQ(table(0.001), text::table1ms);
  EXPECT_EQ(table(0), table0);
}

// sr and dt of a one-record history are 0/0 and its inverse, written as
// this platform writes a value that is not a number.
std::string onerecordrates() {
  volatile double zero = 0;
  double sr = 1 / (zero / zero);
  char b[160];
  std::snprintf(b, sizeof b, "\n sr= %10.4g samples/sec \n dt= %10.4g sec \n", sr, 1 / sr);
  return b;
}

const std::string norecord =
    "\n dtmax =   -1e+90    dtmin =    1e+90 \n"
    "\n srmax =    1e-90    srmin =   -1e-90 \n"
    "\n n= 0 \n tmax=          0 sec \n"
    "\n error \n";

struct stopcase {
  const char* name;
  std::string history;
  std::string after;  // the console after the file set-up
};

// Runs that stop in the statistics pass: console, exit status 1, the key
// wait (which returns at once without a terminal), outputs left empty.
TEST(Stats, Stops) {
  const stopcase cases[] = {
      {"time goes back", "0 1\n1 2\n0.5 3\n2 4\n", timeerror},
      {"time goes back at once", "1 1\n0 1\n", timeerror},
      {"a hexadecimal time reads as 0 and goes back", "0 1\n1 2\n2 3\n0x5 7\n", timeerror},
      {"time goes back late, by a hair", "0 1\n1 1\n2 1\n3 1\n4 1\n3.9999999999 1\n", timeerror},
      {"one step of 0.00095 among 0.001", "0 1\n0.001 1\n0.002 1\n0.00295 1\n0.00395 1\n",
       "\n dtmax =    0.001    dtmin =  0.00095 \n"
       "\n srmax =     1053    srmin =     1000 \n" +
           steperror},
      {"one step of 0.00105 among 0.001", "0 1\n0.001 1\n0.002 1\n0.00305 1\n0.00405 1\n",
       "\n dtmax =  0.00105    dtmin =    0.001 \n"
       "\n srmax =     1000    srmin =    952.4 \n" +
           steperror},
      {"a repeated time", "0 1\n1 1\n1 1\n2 1\n",
       "\n dtmax =        1    dtmin =        0 \n"
       "\n srmax =      inf    srmin =        1 \n" +
           steperror},
      {"a header line and nothing read", "time amplitude\n0 1\n1 2\n", norecord},
      {"blank lines only", " \r\n\t\n\n", norecord},
      {"infinity is no number", "inf 1\n0 1\n", norecord},
  };
  for (const stopcase& c : cases) {
    SCOPED_TRACE(c.name);
    e2e t;
    t.put("h.txt", c.history);
    runresult r = t.run("h.txt\n");
    EXPECT_EQ(r.console, head("h.txt") + c.after);
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(r.outputs.size(), 3u);
    for (auto& [name, bytes] : r.outputs) EXPECT_EQ(bytes, "") << name;
  }
}

struct statscase {
  const char* name;
  std::string history;
  std::string replies;  // after the file name
  std::string after;    // the console after the file set-up
};

TEST(Stats, Histories) {
  const statscase cases[] = {
      {"one step of 0.00097 among 0.001 passes", "0 1\n0.001 2\n0.002 3\n0.00297 4\n0.00397 5\n",
       "",
       "\n dtmax =    0.001    dtmin =  0.00097 \n"
       "\n srmax =     1031    srmin =     1000 \n"
       "\n n= 5 \n tmax=    0.00397 sec \n"
       "\n sr=       1008 samples/sec \n dt=  0.0009925 sec \n"
       "\n          mean =          3 \n overall level =      3.317 rms \n\n" +
           table((0.001 + 0.00097) / 2) + text::prompt + noreply},
      {"the smallest step exactly 96 % of the largest passes", "0 1\n25 1\n50 1\n74 1\n99 1\n", "",
       "\n dtmax =       25    dtmin =       24 \n"
       "\n srmax =  0.04167    srmin =     0.04 \n"
       "\n n= 5 \n tmax=         99 sec \n"
       "\n sr=     0.0404 samples/sec \n dt=      24.75 sec \n"
       "\n          mean =          1 \n overall level =          1 rms \n\n" +
           table(24.5) + text::prompt + noreply},
      {"a step of 0.001", "0.000 1\n0.001 2\n0.002 3\n0.003 4\n0.004 5\n", "",
       "\n dtmax =    0.001    dtmin =    0.001 \n"
       "\n srmax =     1000    srmin =     1000 \n"
       "\n n= 5 \n tmax=      0.004 sec \n"
       "\n sr=       1000 samples/sec \n dt=      0.001 sec \n"
       "\n          mean =          3 \n overall level =      3.317 rms \n\n" +
           text::table1ms + text::prompt + noreply},
      {"one record", "7 3\n", "2\n",
       "\n dtmax =   -1e+90    dtmin =    1e+90 \n"
       "\n srmax =    1e-90    srmin =   -1e-90 \n"
       "\n n= 1 \n tmax=          0 sec \n" +
           onerecordrates() +
           "\n          mean =          3 \n overall level =          3 rms \n\n" + table0 +
           text::prompt + reading + text::finish},
      {"one record whose amplitude is text", "7 abc\n", "",
       "\n dtmax =   -1e+90    dtmin =    1e+90 \n"
       "\n srmax =    1e-90    srmin =   -1e-90 \n"
       "\n n= 1 \n tmax=          0 sec \n" +
           onerecordrates() +
           "\n          mean =          0 \n overall level =          0 rms \n\n" + table0 +
           text::prompt + noreply},
      {"a hexadecimal time reads as 0, its amplitude not at all", "0x10 1\n", "",
       "\n dtmax =   -1e+90    dtmin =    1e+90 \n"
       "\n srmax =    1e-90    srmin =   -1e-90 \n"
       "\n n= 1 \n tmax=          0 sec \n" +
           onerecordrates() +
           "\n          mean =          0 \n overall level =          0 rms \n\n" + table0 +
           text::prompt + noreply},
      {"all times equal; mean 2 and level sqrt(14/3)", "5 1\n5 2\n5 3\n", "",
       "\n dtmax =        0    dtmin =        0 \n"
       "\n srmax =      inf    srmin =      inf \n"
       "\n n= 3 \n tmax=          0 sec \n"
       "\n sr=        inf samples/sec \n dt=          0 sec \n"
       "\n          mean =          2 \n overall level =       2.16 rms \n\n" +
           table0 + text::prompt + noreply},
      {"a text amplitude keeps the one before it", "0 1\n1 0\n2 1\n3 abc\n4 9\n", "",
       "\n dtmax =        1    dtmin =        1 \n"
       "\n srmax =        1    srmin =        1 \n"
       "\n n= 4 \n tmax=          3 sec \n"
       "\n sr=          1 samples/sec \n dt=          1 sec \n"
       "\n          mean =       0.75 \n overall level =      0.866 rms \n\n" +
           text::table1s + text::prompt + noreply},
      {"an amplitude beyond a float is read as a double", "0 1e39\n1 -1e39\n2 3e39\n", "",
       "\n dtmax =        1    dtmin =        1 \n"
       "\n srmax =        1    srmin =        1 \n"
       "\n n= 3 \n tmax=          2 sec \n"
       "\n sr=          1 samples/sec \n dt=          1 sec \n"
       "\n          mean =      1e+39 \n overall level =  1.915e+39 rms \n\n" +
           text::table1s + text::prompt + noreply},
  };
  for (const statscase& c : cases) {
    SCOPED_TRACE(c.name);
    e2e t;
    t.put("h.txt", c.history);
    runresult r = t.run("h.txt\n" + c.replies);
    EXPECT_EQ(r.console, head("h.txt") + c.after);
    EXPECT_EQ(r.status, 1);
    for (auto& [name, bytes] : r.outputs) EXPECT_EQ(bytes, "") << name;
  }
}

// Line ends, columns and what follows the data play no part: every layout
// is the history 0 1, 1 2, 2 3. The window of 4 is longer than it.
TEST(Stats, LayoutsOfTheSameHistory) {
  const std::string after =
      "\n dtmax =        1    dtmin =        1 \n"
      "\n srmax =        1    srmin =        1 \n"
      "\n n= 3 \n tmax=          2 sec \n"
      "\n sr=          1 samples/sec \n dt=          1 sec \n"
      "\n          mean =          2 \n overall level =       2.16 rms \n\n" +
      text::table1s + text::prompt + reading + text::finish;
  const char* layouts[] = {
      "0 1\n1 2\n2 3\n",
      "0 1\r\n1 2\r\n2 3\r\n",
      "0 1 1\n2 2 3\n",
      "0\n1\n1\n2\n2\n3",
      "\t0\t1\r\n\r\n  1 2 2     3   \n\n",
      "0.0e0 +1\n1. 2.0\n2 .3e1\n",
      "0 1\n1 2\n2 3\nend of data\n3 4\n",
      "0 1\n1 2\n2 3\nnan 7\n",
  };
  for (const char* h : layouts) {
    SCOPED_TRACE(::testing::PrintToString(std::string(h)));
    e2e t;
    t.put("h.txt", h);
    runresult r = t.run("h.txt\n4\n");
    EXPECT_EQ(r.console, head("h.txt") + after);
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(r.outputs.size(), 3u);
    for (auto& [name, bytes] : r.outputs) EXPECT_EQ(bytes, "") << name;
  }
}

// The reply loop over a history of eight records at a step of 1: every
// reply that is not one of the sizes brings the prompt back.
TEST(Window, ReplyLoop) {
  const std::string history = "0 1\n1 2\n2 3\n3 4\n4 5\n5 6\n6 7\n7 8\n";
  const std::string before =
      "\n dtmax =        1    dtmin =        1 \n"
      "\n srmax =        1    srmin =        1 \n"
      "\n n= 8 \n tmax=          7 sec \n"
      "\n sr=          1 samples/sec \n dt=          1 sec \n"
      "\n          mean =        4.5 \n overall level =       5.05 rms \n\n" +
      text::table1s;
  struct {
    std::string replies;
    int prompts;
    int m;                          // the size taken; 0: none before the end of input
    std::vector<std::string> tmid;  // of the segments, as written to the files
  } cases[] = {
      {"abc 12abc 99999999999 1000 0 -1024 1 3 1024\n", 9, 1024, {}},
      {"2147483648\n-2147483648\n524288\n-0\n4294967298\n-4294967294\n18446744073709551618\n"
       " 262144",
       8,
       262144,
       {}},
      {"abc\n12abc", 3, 0, {}},
      {"", 1, 0, {}},
      {" \n\t\r\n", 1, 0, {}},
      {"2.0 4e0 0x4 4.\n+4\n", 5, 4, {"1.5", "5.5"}},
      {"\n\n  8  \n", 1, 8, {"3.5"}},
      {"2 4\n", 1, 2, {"0.5", "2.5", "4.5", "6.5"}},
      {"-4 16", 2, 16, {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.replies));
    e2e t;
    t.put("h.txt", history);
    runresult r = t.run("h.txt\n" + c.replies);
    EXPECT_EQ(r.status, 1);
    std::string expect = head("h.txt") + before;
    for (int k = 0; k < c.prompts; ++k) expect += text::prompt;
    if (c.m == 0) {
      EXPECT_EQ(r.console, expect + noreply);
      continue;
    }
    // The segments' own lines belong to the transform; the reading lines
    // and the files show how the history was cut.
    const std::string last = reading + text::finish;
    ASSERT_GE(r.console.size(), expect.size() + last.size());
    EXPECT_EQ(r.console.substr(0, expect.size() + reading.size()), expect + reading);
    EXPECT_EQ(r.console.substr(r.console.size() - last.size()), last);
    size_t n = 0;
    for (size_t p = 0; (p = r.console.find(reading, p)) != std::string::npos; ++p) ++n;
    EXPECT_EQ(n, c.tmid.size() + 1);
    std::string lines;
    for (auto& tm : c.tmid) lines += tm + "\n";
    std::string got;
    const std::string& f = r.outputs["sonotrace.out"];
    for (size_t p = 0; p < f.size();) {
      size_t e = f.find('\n', p);
      std::string l = f.substr(p, e - p);
      got += l.substr(l.find_first_not_of(' '), l.find(" \t") - l.find_first_not_of(' ')) + "\n";
      p = e + 1;
    }
    EXPECT_EQ(got, lines);
  }
}

// One record per segment in "sonotracea.out": mid-time, frequency and the
// largest absolute amplitude of the segment, the first one included.
TEST(Segments, MidTimesAndPeaks) {
  std::string longtoken = "3" + std::string(rdbufsize + 100, '0');
  struct {
    const char* name;
    std::string history;
    std::string reply;
    std::string records;
  } cases[] = {
      {"two segments of 4, the ninth record left over",
       "0 -5\n1 1\n2 2\n3 0\n4 1\n5 -3\n6 2\n7 0.5\n8 9\n", "4",
       "       1.5 \t      0.25 \t         5 \n       5.5 \t      0.25 \t         3 \n"},
      {"exactly two segments", "0 -5\n1 1\n2 2\n3 0\n4 1\n5 -3\n6 2\n7 0.5\n", "4",
       "       1.5 \t      0.25 \t         5 \n       5.5 \t      0.25 \t         3 \n"},
      {"a later time origin and the peak last", "100 1\n100.5 -2\n101 3\n101.5 -4\n", "4",
       "    100.75 \t       0.5 \t         4 \n"},
      {"zero and negative zero amplitudes", "0 0\n1 -0\n2 -0.0\n3 0e5\n", "2",
       "       0.5 \t         0 \t         0 \n       2.5 \t         0 \t         0 \n"},
      // The segment takes 0 for the text, which leaves bin 1 empty: no
      // frequency is found (with the amplitude before it, 1, it would be).
      {"a text amplitude reads as 0", "0 1\n1 0\n2 1\n3 abc\n4 9\n", "4",
       "       1.5 \t         0 \t         1 \n"},
      {"an amplitude beyond a float is infinite here", "0 1e39\n1 1\n", "2",
       "       0.5 \t         0 \t       inf \n"},
      // A number longer than the read block is not read as one: the
      // segment takes 0 for it, as for text.
      {"an amplitude longer than the read block", "0 1\n1 " + longtoken + "\n2 5\n3 6\n", "2",
       "       0.5 \t         0 \t         1 \n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    e2e t;
    t.put("h.txt", c.history);
    runresult r = t.run("h.txt\n" + c.reply + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.outputs["sonotracea.out"], c.records);
    const std::string last = reading + text::finish;
    ASSERT_GE(r.console.size(), last.size());
    EXPECT_EQ(r.console.substr(r.console.size() - last.size()), last);
  }
}

// The record after a refused long amplitude ends the history, and the
// amplitude kept is the one before.
TEST(Stats, AmplitudeLongerThanTheReadBlock) {
  e2e t;
  t.put("h.txt", "0 2\n1 " + std::string(rdbufsize + 100, '7') + "\n2 5\n");
  runresult r = t.run("h.txt\n");
  EXPECT_EQ(r.console, head("h.txt") +
                           "\n dtmax =        1    dtmin =        1 \n"
                           "\n srmax =        1    srmin =        1 \n"
                           "\n n= 2 \n tmax=          1 sec \n"
                           "\n sr=          1 samples/sec \n dt=          1 sec \n"
                           "\n          mean =          2 \n overall level =          2 rms \n\n" +
                           text::table1s + text::prompt + noreply);
}

}  // namespace
