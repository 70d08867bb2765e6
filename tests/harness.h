// End-to-end harness: runs the real sonotrace binary as a child process in a
// fresh temporary directory, in a new session (no controlling terminal, so
// its key waits return at once), with given standard-input bytes.
#pragma once
#include <map>
#include <string>

struct runresult {
  std::string console;                         // everything written to standard output
  int status = -1;                             // exit status, or -1 if it did not exit
  std::map<std::string, std::string> outputs;  // the three output files that exist
};

class e2e {
 public:
  e2e();   // makes the directory
  ~e2e();  // removes it

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void put(const std::string& name, const std::string& bytes) const;
  std::string get(const std::string& name) const;
  // Writes a generated history: sonogen with the given arguments.
  void gen(const std::string& name, const std::string& args) const;

  // Runs the program with these bytes on standard input. Fails the test if
  // it runs longer than the timeout or if any file present before the run
  // (the inputs) changes its bytes or modification time. A test build of
  // the program may be named in place of the real one.
  runresult run(const std::string& stdinbytes, int timeoutsec = 120,
                const char* bin = SONOTRACE_BIN) const;

 private:
  std::string dir_;
};

// The fixed texts of the console, for whole-transcript comparisons.
namespace text {
extern const char* const banner;              // up to " Input filename \n"
std::string opened(const std::string& name);  // "File: ... opened" and the three output lines
extern const char* const finish;              // the end-of-run report
extern const char* const table_header;
extern const char* const prompt;     // the window prompt
extern const std::string table1s;    // the window table, header included, for a step of 1 s
extern const std::string table1ms;   // the window table, header included, for a step of 0.001 s
extern const std::string emptystop;  // what an empty history prints after the file set-up
}  // namespace text
