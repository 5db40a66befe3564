/* Child processes (see child_process.h), started with posix_spawn so that the
 * child never shares the benchmark's own pages: its peak resident set is its
 * own. */
#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char **environ;

namespace {

double Seconds(const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

std::string ReadAll(int fd) {
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(got));
  return text;
}

}  // namespace

ChildRun RunChild(const std::vector<std::string> &argv, bool captureOutput) {
  ChildRun run{false, 0, 0, 0, {}};
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOutput)
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) close(pipeFds[1]);
  if (spawned == 0 && captureOutput) run.output = ReadAll(pipeFds[0]);
  if (captureOutput) close(pipeFds[0]);
  if (spawned != 0) return run;

  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.maxRssKb = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}
