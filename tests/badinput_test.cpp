// Hostile input, end to end on the real binary: every row gives its whole
// console transcript, its output files and exit status 1. The harness also
// checks that no input file changes (bytes and modification time).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"
#include "input/reader.h"

namespace {

const std::string timeerror =
    "\n Time error.  Time values must ascend."
    "\n Press any key to exit \n";

const std::string steperror =
    "\n Time Step Error:   \n The time step must be constant. \n"
    "\n Press any key to exit \n";

std::string table(double stepdt) {
  std::string t = text::table_header;
  for (long size = 2; size <= 262144; size *= 2) {
    char line[80];
    std::snprintf(line, sizeof line, " %ld \t %8.4g \t %8.4g \n", size, size * stepdt,
                  1 / (size * stepdt));
    t += line;
  }
  return t + text::prompt;
}

// The statistics of a history at a step of 1 s, then the window table; the
// figures are given as printed.
std::string stepone(const std::string& n, const std::string& tmax, const std::string& mean,
                    const std::string& rms) {
  return "\n dtmax =        1    dtmin =        1 \n"
         "\n srmax =        1    srmin =        1 \n"
         "\n n= " +
         n + " \n tmax= " + tmax +
         " sec \n"
         "\n sr=          1 samples/sec \n dt=          1 sec \n"
         "\n          mean = " +
         mean + " \n overall level = " + rms + " rms \n\n" + table(1);
}

// One analysed segment of a window of 2 (no frequency can win) and its peak.
std::string two(const std::string& peak) {
  return "\n\n reading time history "
         "\n nm1= 1  md2=1  ns=2 "
         "\n call function ctfourier "
         "\n m= 2  nstages= 1 \n\n"
         "         0 Hz \t " +
         peak + " \n";
}

// The short segment that ends the run, and the end-of-run report.
const std::string end = "\n\n reading time history " + std::string(text::finish);

struct row {
  const char* what;
  std::string bytes;  // the history file
  std::string after;  // console after the file set-up
  std::string out1, out2, out3;
};

std::string garbage(size_t n) {
  std::string g;
  uint32_t x = 12345;
  for (size_t i = 0; i < n; ++i) g += char((x = x * 1103515245 + 12345) >> 24);
  return g;
}

void check(const row& r, const std::string& reply = "2") {
  SCOPED_TRACE(r.what);
  e2e t;
  t.put("h.txt", r.bytes);
  runresult res = t.run("h.txt\n" + reply + "\n");
  EXPECT_EQ(res.console, std::string(text::banner) + text::opened("h.txt") + r.after);
  EXPECT_EQ(res.status, 1);
  EXPECT_EQ(res.outputs["sonotrace.out"], r.out1);
  EXPECT_EQ(res.outputs["sonotracea.out"], r.out2);
  EXPECT_EQ(res.outputs["ffta.out"], r.out3);
}

const char* const tworecs1 = "       0.5 \t         0 \n       2.5 \t         0 \n";

TEST(BadInput, Table) {
  const std::vector<row> rows = {
      {"an empty file", "", text::emptystop, "", "", ""},
      {"binary garbage", "\x7f" + garbage(65536), text::emptystop, "", "", ""},
      {"binary garbage after four records", "0 1\n1 2\n2 3\n3 4\n\xff" + garbage(65536),
       stepone("4", "         3", "       2.5", "     2.739") + two("        2") +
           two("        4") + end,
       tworecs1, "       0.5 \t         0 \t         2 \n       2.5 \t         0 \t         4 \n",
       ""},
      // The NUL after "3" is no number: the history ends before it.
      {"a NUL byte inside a number",
       std::string("0 1\n1 2\n2 3\0"
                   "7\n3 4\n",
                   17),
       stepone("3", "         2", "         2", "      2.16") + two("        2") + end,
       "       0.5 \t         0 \n", "       0.5 \t         0 \t         2 \n", ""},
      {"a last line without a line break", "0 1\n1 2\n2 3\n3 4",
       stepone("4", "         3", "       2.5", "     2.739") + two("        2") +
           two("        4") + end,
       tworecs1, "       0.5 \t         0 \t         2 \n       2.5 \t         0 \t         4 \n",
       ""},
      // The last record has a time only: the statistics take the amplitude
      // before it, the segment 0.
      {"a file that ends in the middle of a pair", "0 1\n1 2\n2 3\n3",
       stepone("4", "         3", "      2.25", "     2.398") + two("        2") +
           two("        3") + end,
       tworecs1, "       0.5 \t         0 \t         2 \n       2.5 \t         0 \t         3 \n",
       ""},
      {"a file that ends in an exponent without digits", "0 1\n1 2\n2 3\n3 4e+",
       stepone("4", "         3", "       2.5", "     2.739") + two("        2") +
           two("        4") + end,
       tworecs1, "       0.5 \t         0 \t         2 \n       2.5 \t         0 \t         4 \n",
       ""},
      {"times that descend only at the last record", "0 1\n1 2\n2 3\n3 4\n4 5\n3.5 6\n", timeerror,
       "", "", ""},
      // Doubles for the statistics, floats for the segments: 1e39 and
      // -3.5e38 overflow only the float.
      {"amplitudes that overflow a float", "0 1e39\n1 0\n2 -3.5e38\n3 0\n",
       stepone("4", "         3", " 1.625e+38", " 5.297e+38") + two("      inf") +
           two("      inf") + end,
       tworecs1, "       0.5 \t         0 \t       inf \n       2.5 \t         0 \t       inf \n",
       ""},
      {"amplitudes that overflow and underflow a double",
       "0 1e400\n1 2e99999999999999999999\n2 1e-400\n3 -1e-99999999999999999999\n",
       stepone("4", "         3", "       inf", "       inf") + two("      inf") +
           two("        0") + end,
       tworecs1, "       0.5 \t         0 \t       inf \n       2.5 \t         0 \t         0 \n",
       ""},
      {"a time that overflows a double", "0 1\n1 1\n1e309 1\n",
       "\n dtmax =      inf    dtmin =        1 \n"
       "\n srmax =        1    srmin =        0 \n" +
           steperror,
       "", "", ""},
  };
  for (const row& r : rows) check(r);
}

// Names that are no regular file are refused like a missing file, at once,
// and the next name is asked for.
TEST(BadInput, NamesThatAreNoRegularFile) {
  e2e t;
  t.put("h.txt", "0 1\n1 2\n");
  ASSERT_EQ(mkfifo(t.path("fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkdir(t.path("adir").c_str(), 0755), 0);
  runresult r = t.run("fifo /dev/null adir /dev/zero h.txt\n2\n", 20);
  std::string refused;
  for (const char* n : {"fifo", "/dev/null", "adir", "/dev/zero"})
    refused +=
        "\n Failed to open file: " + std::string(n) + " \n\n Please enter the input filename: \n";
  EXPECT_EQ(r.console, std::string(text::banner) + refused + text::opened("h.txt") +
                           stepone("2", "         1", "       1.5", "     1.581") +
                           two("        2") + end);
  EXPECT_EQ(r.status, 1);
}

// A history of 50 MB on one line: pairs separated by blanks only.
TEST(BadInput, FiftyMegabytesWithoutALineBreak) {
  const long n = 5500000, m = 262144;
  std::string h;
  h.reserve(60 << 20);
  for (long i = 0; i < n; ++i) {
    h += std::to_string(i);
    h += " 1 ";
  }
  ASSERT_GE(h.size(), 50000000u);
  ASSERT_EQ(h.find('\n'), std::string::npos);
  e2e t;
  t.put("h.txt", h);
  h.clear();
  h.shrink_to_fit();
  runresult r = t.run("h.txt\n262144\n", 300);

  std::string segment =
      "\n\n reading time history "
      "\n nm1= 18  md2=131072  ns=262144 "
      "\n call function ctfourier "
      "\n m= 262144  nstages= 18 \n\n";
  for (int i = 2; i <= 18; ++i) segment += "\n i=" + std::to_string(i) + " / 18 ";
  segment += "         0 Hz \t         1 \n";
  std::string expect =
      "\n dtmax =        1    dtmin =        1 \n"
      "\n srmax =        1    srmin =        1 \n"
      "\n n= 5500000 \n tmax=    5.5e+06 sec \n"
      "\n sr=          1 samples/sec \n dt=          1 sec \n"
      "\n          mean =          1 \n overall level =          1 rms \n\n" +
      table(1);
  for (long s = 0; s < n / m; ++s) expect += segment;
  expect += end;
  EXPECT_EQ(r.console, std::string(text::banner) + text::opened("h.txt") + expect);
  EXPECT_EQ(r.status, 1);
  const std::string& out = r.outputs["sonotrace.out"];
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), n / m);
  EXPECT_EQ(out.substr(0, 25), " 1.3107e+05 \t         0 \n");
  EXPECT_EQ(out.substr(out.size() - 25), " 5.1118e+06 \t         0 \n");
  EXPECT_EQ(r.outputs["ffta.out"], "");
}

// Numbers of 100 000 digits are read as strtod and strtof read them: the
// last digit decides a halfway case. The times 2^53 + 1 and the amplitude
// 2^24 + 1 lie halfway between two neighbours; a 1 in the last place rounds
// them up, and without it they round to even (down).
TEST(BadInput, NumbersOfAHundredThousandDigits) {
  auto longnum = [](const std::string& lead, bool lastone) {
    std::string s = lead + ".";
    s.append(100000 - (lead.size() + 1), '0');
    s += lastone ? '1' : '0';
    return s;
  };
  const std::string t1 = longnum("9007199254740993", true);
  const std::string t1even = longnum("9007199254740993", false);
  const std::string a0 = longnum("16777217", true);
  const std::string a0even = longnum("16777217", false);
  ASSERT_EQ(t1.size(), 100001u);  // 100 000 digits and the point
  ASSERT_EQ(std::strtod(t1.c_str(), nullptr), 9007199254740994.0);
  ASSERT_EQ(std::strtod(t1even.c_str(), nullptr), 9007199254740992.0);
  ASSERT_EQ(std::strtof(a0.c_str(), nullptr), 16777218.0f);
  ASSERT_EQ(std::strtof(a0even.c_str(), nullptr), 16777216.0f);

  auto history = [](const std::string& t1, const std::string& a0) {
    return "9007199254740992 " + a0 + "\n" + t1 + " 0\n9007199254740996 16777216\n" +
           "9007199254740998 0\n";
  };
  auto stats = [](const std::string& seg) {
    return "\n dtmax =        2    dtmin =        2 \n"
           "\n srmax =      0.5    srmin =      0.5 \n"
           "\n n= 4 \n tmax=          6 sec \n"
           "\n sr=        0.5 samples/sec \n dt=          2 sec \n"
           "\n          mean =  8.389e+06 \n overall level =  1.186e+07 rms \n\n" +
           table(2) +
           "\n\n reading time history "
           "\n nm1= 2  md2=2  ns=4 "
           "\n call function ctfourier "
           "\n m= 4  nstages= 2 \n\n"
           "\n i=2 / 2 " +
           seg + end;
  };
  // Amplitudes 2^24 + 2, 0, 2^24, 0: bin 1 holds the difference 2, the
  // peak at 1/(4 * 2 s); rounded to even the difference and the peak vanish.
  const std::vector<row> rows = {
      {"both round up", history(t1, a0), stats("     0.125 Hz \t 1.6777e+07 \n"),
       " 9.0072e+15 \t     0.125 \n", " 9.0072e+15 \t     0.125 \t 1.6777e+07 \n",
       "     0.125 \t 1.6777e+07 \n"},
      {"the time rounds to even: steps 0 and 4", history(t1even, a0),
       "\n dtmax =        4    dtmin =        0 \n"
       "\n srmax =      inf    srmin =     0.25 \n" +
           steperror,
       "", "", ""},
      {"the amplitude rounds to even", history(t1, a0even), stats("         0 Hz \t 1.6777e+07 \n"),
       " 9.0072e+15 \t         0 \n", " 9.0072e+15 \t         0 \t 1.6777e+07 \n", ""},
  };
  for (const row& r : rows) check(r, "4");
}

// The reader holds a block of rdbufsize bytes: a token shorter than the
// block is read whatever its length; one as long as the block or longer is
// no number, and like any text it ends the history there. No crash, no hang.
TEST(BadInput, TokensAsLongAsTheReadBlock) {
  ASSERT_EQ(rdbufsize, size_t(1) << 20);
  auto token = [](const char* lead, size_t len) {
    std::string s = lead;
    s.append(len - s.size(), '0');
    return s;
  };
  const std::string threerecs =
      stepone("3", "         2", "         2", "      2.16") + two("        2") + end;
  const std::string fourrecs = stepone("4", "         3", "       2.5", "     2.739") +
                               two("        2") + two("        4") + end;
  const std::string tworecs =
      stepone("2", "         1", "       1.5", "     1.581") + two("        2") + end;
  const std::string out2 = "       0.5 \t         0 \t         2 \n";
  const std::string out4 = out2 + "       2.5 \t         0 \t         4 \n";
  for (size_t len : {rdbufsize - 2, rdbufsize - 1, rdbufsize, rdbufsize + 1, 2 * rdbufsize}) {
    bool read = len < rdbufsize;
    const std::vector<row> rows = {
        {"the first token", token("0.", len) + " 1\n1 2\n2 3\n", read ? threerecs : text::emptystop,
         read ? "       0.5 \t         0 \n" : "", read ? out2 : "", ""},
        {"a time after two records", "0 1\n1 2\n" + token("2.", len) + " 3\n3 4\n",
         read ? fourrecs : tworecs, read ? tworecs1 : "       0.5 \t         0 \n",
         read ? out4 : out2, ""},
    };
    SCOPED_TRACE("token of " + std::to_string(len) + " bytes");
    for (const row& r : rows) check(r);
  }
}

// The same history read through a block of 64 bytes (a test build) gives
// the transcript of the real program, wherever the block boundaries fall:
// leading blanks move the first boundary through every byte of the first
// records, and the later ones with it. The time of 62 bytes, two short of
// the block, is read too.
TEST(BadInput, NumbersSplitAtEveryBlockBoundary) {
  const std::string history =
      "1e-0 -1.5e+1\n2. +.25E-0\n+.3E1 0.1000000000000000055511151231257827\n"
      "4.000000000000000000000000000001 -0\n" +
      std::string("5.").append(60, '0') + " 7\n6E+0 -2.5\r\n70e-1\t1E+1\n8 0\n";
  e2e t;
  t.put("h.txt", history);
  runresult real = t.run("h.txt\n4\n");
  auto four = [](const char* result) {
    return "\n\n reading time history "
           "\n nm1= 2  md2=2  ns=4 "
           "\n call function ctfourier "
           "\n m= 4  nstages= 2 \n\n"
           "\n i=2 / 2 " +
           std::string(result);
  };
  EXPECT_EQ(real.console, std::string(text::banner) + text::opened("h.txt") +
                              stepone("8", "         7", "  -0.01875", "     6.895") +
                              four("      0.25 Hz \t        15 \n") +
                              four("      0.25 Hz \t        10 \n") + end);
  EXPECT_EQ(real.outputs["sonotracea.out"],
            "       2.5 \t      0.25 \t        15 \n       6.5 \t      0.25 \t        10 \n");
  for (size_t pad = 0; pad <= 64; ++pad) {
    SCOPED_TRACE("leading blanks: " + std::to_string(pad));
    t.put("h.txt", std::string(pad, ' ') + history);
    runresult small = t.run("h.txt\n4\n", 60, SONOTRACE64_BIN);
    EXPECT_EQ(small.console, real.console);
    EXPECT_EQ(small.outputs, real.outputs);
    EXPECT_EQ(small.status, 1);
  }
}

}  // namespace
