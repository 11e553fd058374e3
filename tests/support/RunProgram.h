#pragma once

// Runs a built program as a script would: in a folder of the test's
// choosing, with a given standard input, and its output and exit status
// collected. Standard streams go through files rather than pipes, so that
// no amount of output can block the program or the test.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "TempDir.h"

namespace halvarin::testing {

struct ProgramResult {
  int Status = -1;  // the exit status; -1 when the program did not exit normally
  int Signal = 0;   // the signal that ended it, if one did
  std::string Out;
  std::string Err;
};

struct RunOptions {
  std::string Input{};
  std::string StdoutPath{};   // instead of collecting it (/dev/full, for instance)
  bool ClosedStdout = false;  // a pipe nobody reads, as under `| head -1` (POSIX only)
  bool CtrlC = false;         // a Ctrl+C waiting from the start, held back until it listens (POSIX only)
};

#ifdef _WIN32
// One argument, always quoted, as the C runtime of the started program
// splits it back out: backslashes double only before a quote.
inline std::wstring QuotedArgument(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'"') out.append(backslashes + 1, L'\\');
    backslashes = c == L'\\' ? backslashes + 1 : 0;
    out.push_back(c);
  }
  return out.append(backslashes, L'\\') + L"\"";
}
#endif

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& folder, const RunOptions& o = {}) {
  const TempDir scratch;
  const std::string in = scratch / "in", out = scratch / "out", err = scratch / "err";
  const std::string& stdoutPath = o.StdoutPath.empty() ? out : o.StdoutPath;
  WriteAll(in, o.Input);
  ProgramResult result;
#ifdef _WIN32
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const auto open = [&](const std::string& path, bool write) {
    return ::CreateFileW(Utf8Path(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, &inherited,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = open(in, false);
  startup.hStdOutput = open(stdoutPath, true);
  startup.hStdError = open(err, true);
  std::wstring commandLine = QuotedArgument(Utf8Path(program).wstring());
  for (const std::string& arg : args) commandLine += L" " + QuotedArgument(Utf8Path(arg).wstring());
  PROCESS_INFORMATION process{};
  const bool spawned = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, folder.c_str(), &startup, &process);
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) ::CloseHandle(h);
  if (spawned) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    if (::GetExitCodeProcess(process.hProcess, &status)) result.Status = static_cast<int>(status);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  }
#else
  int pipeEnds[2] = {-1, -1};
  if (o.ClosedStdout && ::pipe(pipeEnds) == 0) ::close(pipeEnds[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  const int create = O_WRONLY | O_CREAT | O_TRUNC;
  if (o.ClosedStdout)
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), create, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), create, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, o.CtrlC ? POSIX_SPAWN_SETSIGMASK : 0);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const bool spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (o.ClosedStdout) ::close(pipeEnds[1]);
  if (spawned) {
    if (o.CtrlC) ::kill(pid, SIGINT);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
#endif
  result.Out = ReadAll(out);
  result.Err = ReadAll(err);
  if (!spawned) throw std::runtime_error("cannot start " + program);
  return result;
}

}  // namespace halvarin::testing
