// Replays a fuzz target's committed corpus (its seeds and every input that
// once found a fault) through the target's own checks, in the ordinary
// build: a fault that comes back fails here even where clang is missing.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(Replay, EveryCorpusInputPassesTheTargetsChecks) {
  std::vector<std::string> names;
  DIR* d = opendir(CORPUS);
  ASSERT_NE(d, nullptr) << CORPUS;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  ASSERT_FALSE(names.empty());

  // The targets send the program's console to /dev/null; ours comes back.
  std::fflush(stdout);
  int console = dup(1);
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(nullptr, nullptr);
  for (const std::string& n : names) {
    std::ifstream f(std::string(CORPUS) + "/" + n, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    std::string bytes = s.str();
    std::fprintf(stderr, "replaying %s\n", n.c_str());  // a failing check aborts
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
  }
  std::fflush(stdout);
  dup2(console, 1);
  close(console);
}
