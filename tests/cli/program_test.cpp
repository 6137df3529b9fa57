// The built program as a shell runs it: what reaches the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "cli_run.h"

namespace {

struct Finished {
  int status = -1;
  std::string out;
};

// Standard error joins standard output.
Finished run_program(const std::string& arguments) {
  Finished finished;
  FILE* pipe = ::popen((std::string(Q5_CLI_PROGRAM) + " " + arguments + " 2>&1 </dev/null").c_str(), "r");
  if (pipe == nullptr) return finished;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) finished.out.append(buffer, n);
  const int wait_status = ::pclose(pipe);
  finished.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return finished;
}

TEST(Program, ExitStatusesReachTheShell) {
  q5::test::ScratchFolder dir;
  const std::string file = dir / "a.eep";
  EXPECT_EQ(run_program("--version").out, "q5prog-cli 1.22\n");
  EXPECT_EQ(run_program("set " + file + " --new Num_message=13").status, 0);
  EXPECT_EQ(run_program("show " + file).status, 0);
  EXPECT_EQ(run_program("set " + file + " Hello_msg=good -o " + dir / "b.eep").status, 0);
  EXPECT_EQ(run_program("diff " + file + " " + dir / "b.eep").status, 1);
  const Finished missing = run_program("show " + dir / "missing.eep");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "File open error: " + dir / "missing.eep" + ": No such file or directory\n");
  EXPECT_EQ(run_program("").status, 2);
}

}  // namespace
