// The program at a real terminal: a pseudo-terminal whose slave is the
// child's controlling terminal, its standard input and output. The replies
// are typed at the prompts, as a person would; at each key wait the test
// checks the terminal mode, sends one key and a spare byte, and then checks
// that the program ended with status 1, echoed nothing, took exactly one
// byte and left the terminal settings as it found them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

using clk = std::chrono::steady_clock;

// Console text as the terminal shows it: each line break becomes CR LF.
std::string onscreen(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

struct step {
  std::string waitfor;  // the screen ends with this (as the program writes it)
  std::string typed;    // then these bytes are typed
};

struct ttyrun {
  std::string screen;  // everything the terminal showed
  int status = -1;     // exit status, -1 if the program did not exit
  std::string left;    // typed bytes the program did not take
};

// Reads from the master until the screen ends with want, or the deadline.
bool readuntil(int master, std::string& screen, const std::string& want, clk::time_point until) {
  while (screen.size() < want.size() ||
         screen.compare(screen.size() - want.size(), want.size(), want) != 0) {
    int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(until - clk::now()).count());
    if (ms <= 0) return false;
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) continue;
    char buf[4096];
    ssize_t got = read(master, buf, sizeof buf);
    if (got <= 0) return false;
    screen.append(buf, size_t(got));
  }
  return true;
}

// Adds to the screen whatever the terminal shows within ms milliseconds.
void drain(int master, std::string& screen, int ms) {
  pollfd p{master, POLLIN, 0};
  char buf[4096];
  ssize_t got;
  while (poll(&p, 1, ms) > 0 && (got = read(master, buf, sizeof buf)) > 0)
    screen.append(buf, size_t(got));
}

// Runs sonotrace in dir on a new pseudo-terminal: the steps before the key
// wait, then the key wait, where key and one spare byte are typed.
ttyrun runonterminal(const std::string& dir, const std::vector<step>& steps, char key) {
  ttyrun r;
  int master, slave;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "openpty";
    return r;
  }
  // Settings a terminal may have that no default gives, so that a program
  // which restored some default in place of what it found would show.
  termios set;
  tcgetattr(slave, &set);
  set.c_cc[VERASE] = 0x08;
  set.c_cc[VKILL] = 0x15;
  set.c_cc[VMIN] = 3;
  set.c_lflag &= ~ECHOCTL;
  set.c_iflag |= IUTF8;
  tcsetattr(slave, TCSANOW, &set);
  termios before;
  tcgetattr(slave, &before);

  pid_t pid = fork();
  if (pid == 0) {
    // New session with the slave as controlling terminal and stdio.
    close(master);
    if (login_tty(slave) != 0 || chdir(dir.c_str()) != 0) _exit(126);
    execl(SONOTRACE_BIN, "sonotrace", (char*)nullptr);
    _exit(127);
  }
  auto until = clk::now() + std::chrono::seconds(20);
  bool ok = true;
  for (const step& s : steps) {
    ok = readuntil(master, r.screen, onscreen(s.waitfor), until);
    if (!ok) {
      ADD_FAILURE() << "no " << testing::PrintToString(s.waitfor) << " on the screen";
      break;
    }
    if (!s.typed.empty() &&
        write(master, s.typed.data(), s.typed.size()) != ssize_t(s.typed.size()))
      ADD_FAILURE() << "write";
  }

  if (ok) {
    // The key wait: once the terminal is in its reading mode, the program
    // must be waiting (not ended) before the key is typed.
    termios during;
    do {
      tcgetattr(slave, &during);
      if (!(during.c_lflag & ICANON)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (clk::now() < until);
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) << "not one key without echo";
    EXPECT_FALSE(during.c_iflag & IXON) << "Ctrl-S would stop the terminal";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int ws;
    EXPECT_EQ(waitpid(pid, &ws, WNOHANG), 0) << "ended without waiting for a key";
    const char typed[2] = {key, 'y'};
    if (write(master, typed, 2) != 2) ADD_FAILURE() << "write";
  }

  int ws = 0;
  pid_t w = 0;
  while ((w = waitpid(pid, &ws, WNOHANG)) == 0 && clk::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (w != pid) {
    kill(pid, SIGKILL);
    waitpid(pid, &ws, 0);
    ADD_FAILURE() << "still running after the key";
  } else if (WIFEXITED(ws)) {
    r.status = WEXITSTATUS(ws);
  } else {
    ADD_FAILURE() << "ended by signal " << WTERMSIG(ws);
  }

  // Whatever the terminal shows after the exit (an echo) joins the screen.
  drain(master, r.screen, 200);

  termios after;
  tcgetattr(slave, &after);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  for (int i = 0; i < NCCS; ++i) EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << "c_cc[" << i << "]";

  // What is left to read on the terminal: only the spare byte.
  termios drain = after;
  drain.c_lflag &= ~(ICANON | ECHO);
  drain.c_cc[VMIN] = 0;
  drain.c_cc[VTIME] = 0;
  tcsetattr(slave, TCSANOW, &drain);
  char buf[64];
  ssize_t got = read(slave, buf, sizeof buf);
  if (got > 0) r.left.assign(buf, size_t(got));
  close(slave);
  close(master);
  return r;
}

const std::string again = "\n Please enter the input filename: \n";

struct keycase {
  const char* what;
  std::string history;
  std::vector<step> steps;  // after the banner
  std::string rest;         // the console after the typed name, up to the key wait
};

TEST(Terminal, KeyWaits) {
  e2e ref;  // the same run with a pipe for the console, for the transcript
  ref.put("h.txt", "0 1\n1 2\n2 3\n3 4\n");
  runresult piped = ref.run("h.txt\n2\n");
  std::string run =
      piped.console.substr(std::string(text::banner).size() + text::opened("h.txt").size());
  size_t cut = run.find(text::prompt) + std::string(text::prompt).size();
  const std::string stats = run.substr(0, cut), segments = run.substr(cut);

  const std::string stepstop =
      "\n dtmax =        2    dtmin =        1 \n"
      "\n srmax =        1    srmin =      0.5 \n"
      "\n Time Step Error:   \n The time step must be constant. \n"
      "\n Press any key to exit \n";
  const std::string orderstop =
      "\n Time error.  Time values must ascend.\n Press any key to exit \n";

  const std::vector<keycase> cases = {
      {"end-of-run report",
       "0 1\n1 2\n2 3\n3 4\n",
       {{text::opened("h.txt") + stats, "2\n"}, {segments, ""}},
       text::opened("h.txt") + stats + "2\n" + segments},
      {"time-order stop",
       "0 1\n1 2\n0.5 3\n",
       {{text::opened("h.txt") + orderstop, ""}},
       text::opened("h.txt") + orderstop},
      {"time-step stop",
       "0 1\n1 2\n3 3\n",
       {{text::opened("h.txt") + stepstop, ""}},
       text::opened("h.txt") + stepstop},
  };
  for (const keycase& c : cases) {
    for (char key : {'x', '\x03'}) {
      SCOPED_TRACE(std::string(c.what) + (key == 'x' ? ", key x" : ", key Ctrl-C"));
      e2e t;
      t.put("h.txt", c.history);
      // A name that fails first: the retry prompt at a terminal too.
      std::vector<step> steps = {{text::banner, "nofile.txt\n"},
                                 {"\n Failed to open file: nofile.txt \n" + again, "h.txt\n"}};
      steps.insert(steps.end(), c.steps.begin(), c.steps.end());
      ttyrun r = runonterminal(t.dir(), steps, key);
      EXPECT_EQ(r.status, 1);
      // Typed replies are echoed where they were typed; the key is not.
      EXPECT_EQ(r.screen,
                onscreen(std::string(text::banner) + "nofile.txt\n" +
                         "\n Failed to open file: nofile.txt \n" + again + "h.txt\n" + c.rest));
      EXPECT_EQ(r.left, "y") << "the key wait took other than exactly one byte";
    }
  }
}

}  // namespace
