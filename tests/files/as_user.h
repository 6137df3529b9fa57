// Permission bits do not stop root, and the tests run as root in CI. So that
// the permission tests still mean something there, the code under test runs
// in a forked child that has become an ordinary user first.
#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

namespace q5::test {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
// Exit statuses of the child that are no answer of the code under test.
constexpr int kCannotBecomeUser = 125;
constexpr int kBodyThrew = 126;

// Runs `body` in a child process, as nobody when this process is root, and
// gives the child's exit status, which `body` returns (0 to 124), or 128
// plus the signal that killed it. When root, `folder` and everything in it
// first pass to nobody, who then acts as their owner would. nullopt: no
// ordinary user could be had, so the caller skips.
template <typename Body>
std::optional<int> run_as_user(const std::filesystem::path& folder, Body body) {
  const bool root = ::geteuid() == 0;
  if (root) {
    std::error_code ec;
    if (::lchown(folder.c_str(), kNobody, kNogroup) != 0) return std::nullopt;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec)) {
      if (::lchown(entry.path().c_str(), kNobody, kNogroup) != 0) return std::nullopt;
    }
    if (ec) return std::nullopt;
  }
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(kCannotBecomeUser);
    }
    // The folder's parents must let an ordinary user through.
    if (::access(folder.c_str(), X_OK) != 0) ::_exit(kCannotBecomeUser);
    try {
      ::_exit(body());
    } catch (...) {
      ::_exit(kBodyThrew);
    }
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  // A crash must fail the test, not skip it: it answers as a shell would.
  constexpr int kSignalBase = 128;
  if (WIFSIGNALED(status)) return kSignalBase + WTERMSIG(status);
  if (WEXITSTATUS(status) == kCannotBecomeUser) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace q5::test
