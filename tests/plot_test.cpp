// tools/plot on the output of real runs, and the installed program and
// plot script run from a temporary prefix.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

struct cmdresult {
  int status = -1;
  std::string out, err;
};

std::string slurp(const std::string& p) {
  std::string s;
  if (FILE* f = std::fopen(p.c_str(), "rb")) {
    char buf[65536];
    size_t k;
    while ((k = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, k);
    std::fclose(f);
  }
  return s;
}

// Runs argv in dir in a new session, with stdin from /dev/null or the given
// file; its output is caught in files outside dir.
cmdresult runcmd(const std::vector<std::string>& argv, const std::string& dir,
                 const std::string& stdinpath = "/dev/null") {
  char out[] = "/tmp/sonotrace-cmd-out-XXXXXX";
  char err[] = "/tmp/sonotrace-cmd-err-XXXXXX";
  int fo = mkstemp(out), fe = mkstemp(err);
  cmdresult r;
  if (fo < 0 || fe < 0) {
    ADD_FAILURE() << "mkstemp";
    return r;
  }
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int in = open(stdinpath.c_str(), O_RDONLY);
    if (chdir(dir.c_str()) != 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(fo, 1);
    dup2(fe, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  close(fo);
  close(fe);
  r.out = slurp(out);
  r.err = slurp(err);
  unlink(out);
  unlink(err);
  return r;
}

// Names in dir with their sizes and modification times.
std::map<std::string, std::string> listing(const std::string& dir) {
  std::map<std::string, std::string> m;
  for (const auto& e : fs::directory_iterator(dir)) {
    struct stat st;
    if (lstat(e.path().c_str(), &st) != 0) continue;
    m[e.path().filename()] = std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) +
                             "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return m;
}

uint32_t be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint32_t(uint8_t(s[at + 3]));
}

// A whole PNG of the picture's size: signature, header chunk first, end
// chunk last, and more than a blank canvas would take.
void expectpicture(const std::string& png) {
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(png, 16), 800u);
  EXPECT_EQ(be32(png, 20), 900u);
  EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12));
  EXPECT_GT(png.size(), 10000u);
  EXPECT_LT(png.size(), 1000000u);
}

// Draws the run in dir: success, no word from gnuplot, and the picture is
// the only file added or changed.
void expectplot(const std::string& plot, const std::string& dir) {
  auto before = listing(dir);
  cmdresult c = runcmd({plot, dir}, "/");
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.out, dir + "/sonotrace.png\n");
  auto after = listing(dir);
  ASSERT_EQ(after.count("sonotrace.png"), 1u);
  after.erase("sonotrace.png");
  EXPECT_EQ(after, before);
  expectpicture(slurp(dir + "/sonotrace.png"));
}

// Amplitudes of 4 segments of 8 at a step of 1: a tone of one cycle per
// segment, then silence, twice; the silent segments find no peak.
std::string toneandsilence() {
  std::string s;
  char line[64];
  for (int j = 0; j < 32; ++j) {
    double a = (j / 8) % 2 ? 0 : std::cos(2 * M_PI * j / 8);
    std::snprintf(line, sizeof line, "%d %.6f\n", j, a);
    s += line;
  }
  return s;
}

TEST(Plot, DrawsRealRuns) {
  struct {
    const char* what;
    const char* gen;    // sonogen arguments, or nullptr for toneandsilence()
    const char* reply;  // window size
    size_t peaks;       // records in ffta.out
  } cases[] = {
      {"a sweep in 15 segments", "-n 8000 -kind sweep -f 20 -f2 200 -a 2 -noise 0.2", "512", 15},
      {"one segment", "-n 64 -f 100", "64", 1},
      {"a window of 2: no segment finds a peak", "-n 64 -f 100", "2", 0},
      {"tone and silence: every other segment finds no peak", nullptr, "8", 2},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    e2e t;
    if (k.gen)
      t.gen("h.txt", k.gen);
    else
      t.put("h.txt", toneandsilence());
    runresult r = t.run(std::string("h.txt\n") + k.reply + "\n");
    ASSERT_EQ(r.status, 1);
    ASSERT_FALSE(r.outputs["sonotrace.out"].empty());
    size_t lines = 0;
    for (char c : r.outputs["ffta.out"]) lines += c == '\n';
    EXPECT_EQ(lines, k.peaks);
    expectplot(PLOT_SCRIPT, t.dir());
  }
}

TEST(Plot, MissingOrEmptyFileFailsAndWritesNothing) {
  e2e run;
  run.gen("h.txt", "-n 4096 -f 50");
  runresult r = run.run("h.txt\n512\n");
  ASSERT_EQ(r.status, 1);
  ASSERT_FALSE(r.outputs["ffta.out"].empty());
  struct {
    const char* file;
    bool remove;  // or leave it empty
    const char* message;
  } cases[] = {
      {"sonotrace.out", true, "/sonotrace.out is missing"},
      {"sonotracea.out", true, "/sonotracea.out is missing"},
      {"ffta.out", true, "/ffta.out is missing"},
      {"sonotrace.out", false, "/sonotrace.out is empty"},
      {"sonotracea.out", false, "/sonotracea.out is empty"},
      // Empty beside peaks that the other files hold: not one run's files.
      {"ffta.out", false, "/ffta.out is empty"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.file) + (k.remove ? " missing" : " empty"));
    e2e t;
    for (const auto& [name, bytes] : r.outputs)
      if (name != k.file) t.put(name, bytes);
    if (!k.remove) t.put(k.file, "");
    auto before = listing(t.dir());
    cmdresult c = runcmd({PLOT_SCRIPT, t.dir()}, "/");
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find(t.dir() + k.message), std::string::npos) << c.err;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(listing(t.dir()), before);
  }
}

TEST(Install, ProgramAndPlotRunFromPrefix) {
  e2e prefix;
  cmdresult i = runcmd({CMAKE_BIN, "--install", BUILD_DIR, "--prefix", prefix.dir()}, "/");
  ASSERT_EQ(i.status, 0) << i.out << i.err;
  const std::string bin = prefix.path("bin/sonotrace"), plot = prefix.path("bin/sonotrace-plot");
  ASSERT_EQ(access(bin.c_str(), X_OK), 0);
  ASSERT_EQ(access(plot.c_str(), X_OK), 0);

  e2e t;
  t.gen("h.txt", "-n 4096 -f 50");
  t.put("answers", "h.txt\n512\n");
  cmdresult c = runcmd({bin}, t.dir(), t.path("answers"));
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.out.find("\n Press any key to exit."), std::string::npos);
  const std::string times = t.get("sonotrace.out");
  EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), 8);
  expectplot(plot, t.dir());
}

}  // namespace
