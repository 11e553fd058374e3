#pragma once

// Runs the built halvarin-grp as a script would: in a folder of the test's
// choosing, with a given standard input, and its output and exit status
// collected. Standard streams go through files rather than pipes, so that
// no amount of output can block the program or the test.

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ArchiveBytes.h"

extern char** environ;

namespace halvarin::testing {

struct ProgramResult {
  int Status = -1;  // the exit status; -1 when the program did not exit normally
  std::string Out;
  std::string Err;
};

// `stdoutPath` other than empty sends standard output there instead of
// collecting it (/dev/full, for instance).
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& folder, const std::string& input = "",
                                const std::string& stdoutPath = "") {
  namespace fs = std::filesystem;
  std::string scratch = (fs::temp_directory_path() / "grpcliXXXXXX").string();
  if (::mkdtemp(scratch.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  const std::string in = scratch + "/in", out = scratch + "/out", err = scratch + "/err";
  WriteAll(in, input);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1,
                                   stdoutPath.empty() ? out.c_str() : stdoutPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ProgramResult result;
  if (spawned == 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  result.Out = ReadAll(out);
  result.Err = ReadAll(err);
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  if (spawned != 0)
    throw std::runtime_error("cannot start " + program);
  return result;
}

}  // namespace halvarin::testing
