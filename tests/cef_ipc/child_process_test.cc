// The client's process launcher with /bin/sh as the child: exit codes and
// signals are reported, waits end at their timeout, exec failures come back
// from Start, exactly the chosen descriptor is inherited, and a child still
// running when the launcher lets go is killed and reaped.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "host/browser/child_process.h"

namespace nuv {
namespace host {
namespace {

std::unique_ptr<ChildProcess> Shell(const std::string& script,
                                    int inherit_fd = -1,
                                    const std::string& stderr_path = "") {
  ChildProcess::Options options;
  options.executable = "/bin/sh";
  options.args = {"-c", script};
  options.inherit_fd = inherit_fd;
  options.stderr_path = stderr_path;
  std::string error;
  std::unique_ptr<ChildProcess> child = ChildProcess::Start(options, &error);
  EXPECT_TRUE(child) << error;
  return child;
}

TEST(ChildProcessTest, ExitCodesAndSignalsAreReported) {
  ExitStatus s = Shell("exit 0")->WaitForExit(5000);
  EXPECT_TRUE(s.exited() && s.exit_code == 0) << s.ToString();
  s = Shell("exit 255")->WaitForExit(5000);
  EXPECT_TRUE(s.exited() && s.exit_code == 255) << s.ToString();
  s = Shell("kill -SEGV $$")->WaitForExit(5000);
  EXPECT_TRUE(s.signaled() && s.signal == SIGSEGV) << s.ToString();
  EXPECT_EQ(s.ToString().rfind("killed by signal 11", 0), 0u) << s.ToString();

  // Once known, the status stays (the child is reaped only once).
  std::unique_ptr<ChildProcess> child = Shell("exit 3");
  child->WaitForExit(5000);
  EXPECT_EQ(child->Poll().exit_code, 3);
  EXPECT_EQ(child->WaitForExit(0).exit_code, 3);
  EXPECT_FALSE(child->Kill(SIGTERM));
}

TEST(ChildProcessTest, WaitsEndAtTheirTimeoutAndLettingGoKills) {
  std::unique_ptr<ChildProcess> child = Shell("exec sleep 60");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(child->WaitForExit(100).running());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(child->Poll().running());
  const pid_t pid = child->pid();
  child.reset();
  // Killed and reaped: nothing by that id is left, not even a zombie.
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_NE(kill(pid, 0), 0);
}

TEST(ChildProcessTest, StartFailuresComeBackFromStart) {
  ChildProcess::Options options;
  std::string error;
  options.executable = "/nonexistent/program";
  EXPECT_FALSE(ChildProcess::Start(options, &error));
  EXPECT_NE(error.find("cannot execute /nonexistent/program"), std::string::npos) << error;

  options.executable = "/etc/hostname";  // not executable
  EXPECT_FALSE(ChildProcess::Start(options, &error));
  EXPECT_NE(error.find("cannot execute"), std::string::npos) << error;

  options.executable = "/bin/true";
  options.stderr_path = "/nonexistent/dir/stderr.txt";
  EXPECT_FALSE(ChildProcess::Start(options, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST(ChildProcessTest, OnlyTheChosenDescriptorIsInherited) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  int other[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, other), 0);
  char path[] = "/tmp/child_process_testXXXXXX";
  const int stderr_fd = mkstemp(path);
  ASSERT_GE(stderr_fd, 0);
  close(stderr_fd);

  const std::string script = "echo inherited >&" + std::to_string(fds[1]) + "; echo closed >&" +
                             std::to_string(other[1]) + " || echo to-stderr >&2";
  std::unique_ptr<ChildProcess> child = Shell(script, fds[1], path);
  EXPECT_EQ(child->WaitForExit(5000).exit_code, 0);
  close(fds[1]);
  close(other[1]);

  char buffer[64] = {};
  EXPECT_EQ(read(fds[0], buffer, sizeof(buffer) - 1), 10);
  EXPECT_STREQ(buffer, "inherited\n");
  // The other socket was never reachable in the child.
  fcntl(other[0], F_SETFL, O_NONBLOCK);
  EXPECT_EQ(read(other[0], buffer, sizeof(buffer)), 0);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("to-stderr"), std::string::npos) << text.str();
  // The parent's own copy keeps its close-on-exec flag.
  EXPECT_EQ(fcntl(fds[0], F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  close(fds[0]);
  close(other[0]);
  unlink(path);
}

}  // namespace
}  // namespace host
}  // namespace nuv
