// Whole runs through the segments, end to end on the real binary: the
// console transcript and the three output files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

// The console text of one analysed segment of a window of m, ending with
// its result line.
std::string segment(unsigned m, const std::string& result) {
  unsigned nst = 0;
  while ((1u << nst) < m) ++nst;
  std::string s = "\n\n reading time history ";
  s += "\n nm1= " + std::to_string(nst) + "  md2=" + std::to_string(m / 2) +
       "  ns=" + std::to_string(m) + " ";
  s += "\n call function ctfourier ";
  s += "\n m= " + std::to_string(m) + "  nstages= " + std::to_string(nst) + " \n\n";
  for (unsigned i = 2; i <= nst; ++i)
    s += "\n i=" + std::to_string(i) + " / " + std::to_string(nst) + " ";
  return s + result;
}

// A short last segment is read, then the run ends.
const std::string shortend = std::string("\n\n reading time history ") + text::finish;

// What follows the window prompt.
std::string afterprompt(const std::string& console) {
  size_t at = console.find(text::prompt);
  return at == std::string::npos ? "" : console.substr(at + std::string(text::prompt).size());
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

// 10 000 records at 1 ms, window 1024: a tone of 50 Hz for the first half and
// of 200 Hz for the second, in whole units so that the mean is exactly 0.
// Nine segments: the nearest bins are 51 (49.805 Hz) and 205 (200.2 Hz); the
// fifth segment holds 904 records of the first tone and 120 of the second.
TEST(Run, TypicalRun) {
  e2e t;
  t.gen("h.txt", "-n 10000 -dt 0.001 -kind step -f 50 -f2 200 -a 100 -afmt %.0f");
  runresult r = t.run("h.txt\n1024\n");

  std::string want = std::string(text::banner) + text::opened("h.txt") +
                     "\n dtmax =    0.001    dtmin =    0.001 \n"
                     "\n srmax =     1000    srmin =     1000 \n"
                     "\n n= 10000 \n tmax=      9.999 sec \n"
                     "\n sr=       1000 samples/sec \n dt=      0.001 sec \n"
                     "\n          mean =          0 \n overall level =      70.74 rms \n\n" +
                     text::table1ms + text::prompt;
  const char* tmids[] = {"0.5115", "1.5355", "2.5595", "3.5835", "4.6075",
                         "5.6315", "6.6555", "7.6795", "8.7035"};
  std::string first, second, third;
  for (int k = 0; k < 9; ++k) {
    std::string freq = k < 5 ? "   49.805" : "    200.2";
    std::string peak = k < 5 ? "      100" : "       95";
    std::string tmid = std::string(9 - std::string(tmids[k]).size(), ' ') + tmids[k];
    want += segment(1024, " " + freq + " Hz \t " + peak + " \n");
    first += " " + tmid + " \t " + freq + " \n";
    second += " " + tmid + " \t " + freq + " \t " + peak + " \n";
    third += " " + freq + " \t " + peak + " \n";
  }
  want += shortend;

  EXPECT_EQ(r.console, want);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.outputs["sonotrace.out"], first);
  EXPECT_EQ(r.outputs["sonotracea.out"], second);
  EXPECT_EQ(r.outputs["ffta.out"], third);
}

struct endcase {
  const char* name;
  const char* gen;  // sonogen arguments, 1 ms step
  unsigned m;
  const char* freq;               // every segment's frequency, a nine-character field
  std::vector<const char*> tmid;  // one per segment, nine-character fields
};

// Every segment has peak amplitude 1. A tone of 125 Hz is bin 1 of a window
// of 8; a window of 2 finds no frequency at all.
TEST(Run, HowTheHistoryEnds) {
  const std::vector<const char*> eights = {"   0.0035", "   0.0115", "   0.0195", "   0.0275",
                                           "   0.0355"};
  const endcase cases[] = {
      {"exactly 5 windows", "-n 40 -kind sine -f 125", 8, "      125", eights},
      {"5 windows and 5 records", "-n 45 -kind sine -f 125", 8, "      125", eights},
      {"window of 2",
       "-n 11 -kind sine -f 250",
       2,
       "        0",
       {"   0.0005", "   0.0025", "   0.0045", "   0.0065", "   0.0085"}},
  };
  for (const endcase& c : cases) {
    SCOPED_TRACE(c.name);
    e2e t;
    t.gen("h.txt", std::string("-dt 0.001 ") + c.gen);
    runresult r = t.run("h.txt\n" + std::to_string(c.m) + "\n");
    std::string f = c.freq, want, first, second, third;
    for (const char* tm : c.tmid) {
      want += segment(c.m, " " + f + " Hz \t         1 \n");
      first += std::string(" ") + tm + " \t " + f + " \n";
      second += std::string(" ") + tm + " \t " + f + " \t         1 \n";
      if (f != "        0") third += " " + f + " \t         1 \n";
    }
    EXPECT_EQ(afterprompt(r.console), want + shortend);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.outputs["sonotrace.out"], first);
    EXPECT_EQ(r.outputs["sonotracea.out"], second);
    EXPECT_EQ(r.outputs["ffta.out"], third);
  }
}

// More than 9999 windows: the run stops after 9999 segments, without reading
// further, and goes straight to the end-of-run report.
TEST(Run, StopsAfter9999Segments) {
  e2e t;
  t.gen("h.txt", "-n 40010 -dt 0.001 -kind sine -f 250");
  runresult r = t.run("h.txt\n4\n");
  const std::string result = "       250 Hz \t         1 \n";
  std::string tail = afterprompt(r.console);
  EXPECT_EQ(count(tail, "\n\n reading time history "), 9999u);
  EXPECT_EQ(count(tail, result), 9999u);
  EXPECT_TRUE(tail.ends_with(segment(4, result) + text::finish));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(count(r.outputs["sonotrace.out"], "\n"), 9999u);
  EXPECT_EQ(count(r.outputs["sonotracea.out"], "\n"), 9999u);
  EXPECT_TRUE(r.outputs["sonotrace.out"].starts_with("    0.0015 \t       250 \n"));
  EXPECT_EQ(r.outputs["ffta.out"].size(), 9999 * std::string("       250 \t         1 \n").size());
  EXPECT_EQ(count(r.outputs["ffta.out"], "       250 \t         1 \n"), 9999u);
}

}  // namespace
