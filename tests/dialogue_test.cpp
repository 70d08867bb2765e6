// The start-up dialogue, the file set-up and the end-of-run report, run end
// to end on the real binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "harness.h"

namespace {

const std::string again = "\n Please enter the input filename: \n";
const std::string noname = "\n No input filename given. \n";

// Four records at a step of 1: the window of 2 gives two segments.
const std::string fourrecords = "0 1\n1 -3\n2 2\n3 0.5\n";

std::string fourrun() {
  return "\n dtmax =        1    dtmin =        1 \n"
         "\n srmax =        1    srmin =        1 \n"
         "\n n= 4 \n tmax=          3 sec \n"
         "\n sr=          1 samples/sec \n dt=          1 sec \n"
         "\n          mean =      0.125 \n overall level =      1.887 rms \n\n" +
         text::table1s + text::prompt +
         "\n\n reading time history "
         "\n nm1= 1  md2=1  ns=2 "
         "\n call function ctfourier "
         "\n m= 2  nstages= 1 \n\n"
         "         0 Hz \t         3 \n"
         "\n\n reading time history "
         "\n nm1= 1  md2=1  ns=2 "
         "\n call function ctfourier "
         "\n m= 2  nstages= 1 \n\n"
         "         0 Hz \t         2 \n"
         "\n\n reading time history " +
         text::finish;
}

TEST(Dialogue, FailedNameThenOneThatOpens) {
  e2e t;
  t.put("empty.txt", "");
  runresult r = t.run("missing.txt\nempty.txt\n");
  EXPECT_EQ(r.console, std::string(text::banner) + "\n Failed to open file: missing.txt \n" +
                           again + text::opened("empty.txt") + text::emptystop);
  EXPECT_EQ(r.status, 1);
}

TEST(Dialogue, NameWithBlankIsTwoTokens) {
  e2e t;
  t.put("file.txt", "");
  runresult r = t.run("my file.txt\n");
  EXPECT_EQ(r.console, std::string(text::banner) + "\n Failed to open file: my \n" + again +
                           text::opened("file.txt") + text::emptystop);
}

TEST(Dialogue, ExistingOutputsAreTruncated) {
  e2e t;
  t.put("empty.txt", "");
  for (const char* n : {"sonotrace.out", "sonotracea.out", "ffta.out"}) t.put(n, "old records\n");
  runresult r = t.run("empty.txt\n");
  ASSERT_EQ(r.outputs.size(), 3u);
  for (auto& [name, bytes] : r.outputs) EXPECT_EQ(bytes, "") << name;
}

TEST(Dialogue, WholeRunWithWindowOfTwo) {
  e2e t;
  t.put("h.txt", fourrecords);
  runresult r = t.run("h.txt\n2\n");
  EXPECT_EQ(r.console, std::string(text::banner) + text::opened("h.txt") + fourrun());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.outputs["sonotrace.out"], "       0.5 \t         0 \n       2.5 \t         0 \n");
  EXPECT_EQ(r.outputs["sonotracea.out"],
            "       0.5 \t         0 \t         3 \n       2.5 \t         0 \t         2 \n");
  EXPECT_EQ(r.outputs["ffta.out"], "");
}

TEST(Dialogue, OutputThatCannotBeCreatedIsReportedAndSkipped) {
  e2e t;
  t.put("h.txt", fourrecords);
  ASSERT_EQ(mkdir(t.path("sonotracea.out").c_str(), 0755), 0);
  runresult r = t.run("h.txt\n2\n");
  std::string opened =
      "\n File: h.txt opened. \n\n"
      " File[1]: sonotrace.out opened. \n"
      " Failed to open file: sonotracea.out \n"
      " File[3]: ffta.out opened. \n";
  EXPECT_EQ(r.console, std::string(text::banner) + opened + fourrun());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.outputs["sonotrace.out"], "       0.5 \t         0 \n       2.5 \t         0 \n");
}

TEST(Dialogue, WriteErrorIsReportedBeforeTheFileList) {
  e2e t;
  t.put("h.txt", fourrecords);
  ASSERT_EQ(symlink("/dev/full", t.path("ffta.out").c_str()), 0);
  ASSERT_EQ(symlink("/dev/full", t.path("sonotrace.out").c_str()), 0);
  runresult r = t.run("h.txt\n2\n");
  std::string expect = fourrun();
  std::string report = "\n Failed to write file: sonotrace.out \n";
  expect.insert(expect.size() - std::string(text::finish).size(), report);
  EXPECT_EQ(r.console, std::string(text::banner) + text::opened("h.txt") + expect);
  EXPECT_EQ(r.status, 1);
}

// Every refused name gets its message and a new prompt; the end of the
// replies then ends the run without a key wait.
TEST(Dialogue, RefusedNames) {
  e2e t;
  std::string history = "0 1\n1 2\n";
  t.put("ffta.out", history);
  ASSERT_EQ(link(t.path("ffta.out").c_str(), t.path("alias.txt").c_str()), 0);
  ASSERT_EQ(mkdir(t.path("adir").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(t.path("fifo").c_str(), 0644), 0);
  std::string longname(260, 'x');
  std::string fine(259, 'y');
  runresult r = t.run("./ffta.out alias.txt adir fifo /dev/null " + longname + " " + fine + "\n");
  EXPECT_EQ(r.console,
            std::string(text::banner) + "\n Cannot use an output file as input: ./ffta.out \n" +
                again + "\n Cannot use an output file as input: alias.txt \n" + again +
                "\n Failed to open file: adir \n" + again + "\n Failed to open file: fifo \n" +
                again + "\n Failed to open file: /dev/null \n" + again +
                "\n File name too long (at most 259 characters). \n" + again +
                "\n Failed to open file: " + fine + " \n" + again + noname);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(t.get("ffta.out"), history);
  EXPECT_EQ(r.outputs.count("sonotrace.out"), 0u) << "nothing is created before an input opens";
}

TEST(Dialogue, NoReplyAtAll) {
  e2e t;
  runresult r = t.run("");
  EXPECT_EQ(r.console, std::string(text::banner) + noname);
  EXPECT_EQ(r.status, 1);
  r = t.run(" \n\t \n");
  EXPECT_EQ(r.console, std::string(text::banner) + noname);
}

TEST(Dialogue, ArgumentsAreIgnored) {
  e2e t;
  t.put("empty.txt", "");
  runresult plain = t.run("empty.txt\n");
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (chdir(t.dir().c_str()) != 0) _exit(126);
    int in = open(".stdin", O_RDONLY), out = open("args.out", O_WRONLY | O_CREAT, 0644);
    dup2(in, 0);
    dup2(out, 1);
    execl(SONOTRACE_BIN, "sonotrace", "--help", "x.txt", (char*)nullptr);
    _exit(127);
  }
  int ws;
  waitpid(pid, &ws, 0);
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 1);
  EXPECT_EQ(t.get("args.out"), plain.console);
}

// A reader that has gone away must not kill the run with SIGPIPE.
TEST(Dialogue, ClosedConsolePipeStillEndsWithStatusOne) {
  e2e t;
  t.put("h.txt", fourrecords);
  t.put(".stdin", "h.txt\n2\n");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (chdir(t.dir().c_str()) != 0) _exit(126);
    int in = open(".stdin", O_RDONLY);
    dup2(in, 0);
    dup2(fds[1], 1);
    execl(SONOTRACE_BIN, "sonotrace", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  int ws;
  waitpid(pid, &ws, 0);
  ASSERT_TRUE(WIFEXITED(ws)) << "ended by signal " << WTERMSIG(ws);
  EXPECT_EQ(WEXITSTATUS(ws), 1);
  EXPECT_EQ(t.get("sonotrace.out"), "       0.5 \t         0 \n       2.5 \t         0 \n");
}

}  // namespace
