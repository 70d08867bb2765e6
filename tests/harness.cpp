#include "harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool isoutput(const std::string& n) {
  return n == "sonotrace.out" || n == "sonotracea.out" || n == "ffta.out";
}

struct snapshot {
  std::string bytes;
  timespec mtime;
};

std::map<std::string, snapshot> inputs(const std::string& dir) {
  std::map<std::string, snapshot> m;
  DIR* d = opendir(dir.c_str());
  if (!d) return m;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    std::string p = dir + "/" + n;
    struct stat st;
    if (isoutput(n) || n == ".stdin" || n == ".stdout" || lstat(p.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    m[n] = {slurp(p), st.st_mtim};
  }
  closedir(d);
  return m;
}

}  // namespace

e2e::e2e() {
  char tmpl[] = "/tmp/sonotrace-e2e-XXXXXX";
  char* d = mkdtemp(tmpl);
  if (!d) std::abort();
  dir_ = d;
}

e2e::~e2e() {
  std::string cmd = "rm -rf '" + dir_ + "'";
  if (std::system(cmd.c_str()) != 0) std::perror("rm");
}

void e2e::put(const std::string& name, const std::string& bytes) const {
  std::ofstream f(path(name), std::ios::binary);
  f << bytes;
}

std::string e2e::get(const std::string& name) const {
  return slurp(path(name));
}

void e2e::gen(const std::string& name, const std::string& args) const {
  std::string cmd = std::string(SONOGEN_BIN) + " " + args + " > '" + path(name) + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

runresult e2e::run(const std::string& stdinbytes, int timeoutsec, const char* bin) const {
  put(".stdin", stdinbytes);
  auto before = inputs(dir_);
  runresult r;
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (chdir(dir_.c_str()) != 0) _exit(126);
    int in = open(".stdin", O_RDONLY);
    int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    close(in);
    close(out);
    execl(bin, "sonotrace", (char*)nullptr);
    _exit(127);
  }
  int ws = 0;
  bool done = false;
  for (int i = 0; i < timeoutsec * 100; ++i) {
    pid_t w = waitpid(pid, &ws, WNOHANG);
    if (w == pid) {
      done = true;
      break;
    }
    usleep(10000);
  }
  if (!done) {
    kill(pid, SIGKILL);
    waitpid(pid, &ws, 0);
    ADD_FAILURE() << "sonotrace did not end within " << timeoutsec << " s";
  } else if (WIFEXITED(ws)) {
    r.status = WEXITSTATUS(ws);
  } else {
    ADD_FAILURE() << "sonotrace ended by signal " << WTERMSIG(ws);
  }
  r.console = get(".stdout");
  for (const char* n : {"sonotrace.out", "sonotracea.out", "ffta.out"}) {
    struct stat st;  // only regular files: a test may link an output to a device
    if (lstat(path(n).c_str(), &st) == 0 && S_ISREG(st.st_mode)) r.outputs[n] = get(n);
  }
  auto after = inputs(dir_);
  for (auto& [name, snap] : before) {
    auto it = after.find(name);
    if (it == after.end()) {
      ADD_FAILURE() << "input " << name << " disappeared";
      continue;
    }
    EXPECT_EQ(it->second.bytes, snap.bytes) << "input " << name << " changed";
    EXPECT_TRUE(it->second.mtime.tv_sec == snap.mtime.tv_sec &&
                it->second.mtime.tv_nsec == snap.mtime.tv_nsec)
        << "input " << name << " modification time changed";
  }
  return r;
}

namespace text {
const char* const banner =
    "\n  Sonotrace  - version 1.0, May 8, 2007 "
    "\n  by the Sonotrace developers "
    "\n  Email:  not published \n"
    "\n This program calculates the peak frequency vs time of a time history. \n"
    "\n The Fast Fourier transform method is used. "
    "\n The input file must contain two columns: \n"
    " time(sec)  amplitude(units)    \n"
    " \n An error message will occur if the file does not exist.\n"
    " Input filename \n";

std::string opened(const std::string& name) {
  return "\n File: " + name +
         " opened. \n\n"
         " File[1]: sonotrace.out opened. \n"
         " File[2]: sonotracea.out opened. \n"
         " File[3]: ffta.out opened. \n";
}

const char* const finish =
    "\n\n Output Files \n"
    "\n sonotrace.out \n"
    "\n The format is:  Time(sec) & Freq(Hz) \n "
    "\n sonotracea.out \n"
    "\n The format is:  Time(sec) & Freq(Hz) & Peak(unit)  \n"
    "\n ffta.out \n"
    "\n The format is:  Freq(Hz) & Peak(unit)  \n"
    "\n\n Please call the output files into your own plotting program."
    "\n Press any key to exit.";

const char* const table_header = "\n Windows size    Dur(sec)  delta f(Hz) \n";
const char* const prompt = "\n Enter window size integer from the above table.\n";

const std::string table1s = std::string(table_header) +
                            " 2 \t        2 \t      0.5 \n"
                            " 4 \t        4 \t     0.25 \n"
                            " 8 \t        8 \t    0.125 \n"
                            " 16 \t       16 \t   0.0625 \n"
                            " 32 \t       32 \t  0.03125 \n"
                            " 64 \t       64 \t  0.01562 \n"
                            " 128 \t      128 \t 0.007812 \n"
                            " 256 \t      256 \t 0.003906 \n"
                            " 512 \t      512 \t 0.001953 \n"
                            " 1024 \t     1024 \t 0.0009766 \n"
                            " 2048 \t     2048 \t 0.0004883 \n"
                            " 4096 \t     4096 \t 0.0002441 \n"
                            " 8192 \t     8192 \t 0.0001221 \n"
                            " 16384 \t 1.638e+04 \t 6.104e-05 \n"
                            " 32768 \t 3.277e+04 \t 3.052e-05 \n"
                            " 65536 \t 6.554e+04 \t 1.526e-05 \n"
                            " 131072 \t 1.311e+05 \t 7.629e-06 \n"
                            " 262144 \t 2.621e+05 \t 3.815e-06 \n";

const std::string table1ms = std::string(table_header) +
                             " 2 \t    0.002 \t      500 \n"
                             " 4 \t    0.004 \t      250 \n"
                             " 8 \t    0.008 \t      125 \n"
                             " 16 \t    0.016 \t     62.5 \n"
                             " 32 \t    0.032 \t    31.25 \n"
                             " 64 \t    0.064 \t    15.62 \n"
                             " 128 \t    0.128 \t    7.812 \n"
                             " 256 \t    0.256 \t    3.906 \n"
                             " 512 \t    0.512 \t    1.953 \n"
                             " 1024 \t    1.024 \t   0.9766 \n"
                             " 2048 \t    2.048 \t   0.4883 \n"
                             " 4096 \t    4.096 \t   0.2441 \n"
                             " 8192 \t    8.192 \t   0.1221 \n"
                             " 16384 \t    16.38 \t  0.06104 \n"
                             " 32768 \t    32.77 \t  0.03052 \n"
                             " 65536 \t    65.54 \t  0.01526 \n"
                             " 131072 \t    131.1 \t 0.007629 \n"
                             " 262144 \t    262.1 \t 0.003815 \n";

const std::string emptystop =
    "\n dtmax =   -1e+90    dtmin =    1e+90 \n"
    "\n srmax =    1e-90    srmin =   -1e-90 \n"
    "\n n= 0 \n tmax=          0 sec \n"
    "\n error \n";
}  // namespace text
