#include "process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace cutspot::testing {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void expect_golden(const std::string& name, const std::string& text) {
  const std::string path = std::string(CUTSPOT_SOURCE_DIR) + "/tests/golden/" + name;
  if (std::getenv("CUTSPOT_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  EXPECT_EQ(text, read_file(path)) << path;
}

temp_dir::temp_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "cutspot-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string temp_dir::write(const std::string& name, const std::string& bytes) const {
  std::string full = path_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream(full, std::ios::binary) << bytes;
  return full;
}

process_result run_process(const std::string& program, const std::vector<std::string>& args,
                           const stdout_target& target) {
  temp_dir dir;
  const std::string out_path = dir.path() + "/stdout";
  const std::string err_path = dir.path() + "/stderr";

  int pipe_fds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  switch (target.how) {
    case stdout_target::capture:
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
      break;
    case stdout_target::file:
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, target.path.c_str(), O_WRONLY, 0);
      break;
    case stdout_target::closed:
      posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
      break;
    case stdout_target::pipe:
      if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
      if (target.non_blocking) fcntl(pipe_fds[1], F_SETFL, O_NONBLOCK);
      posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
      break;
  }
  if (!target.working_directory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, target.working_directory.c_str());
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program);

  process_result result;
  if (target.how == stdout_target::pipe) {
    close(pipe_fds[1]);
    char first;
    ssize_t got;
    while ((got = read(pipe_fds[0], &first, 1)) < 0 && errno == EINTR) {
    }
    if (got == 1) result.out.push_back(first);
    if (target.while_blocked) target.while_blocked();
    char buf[65536];
    for (ssize_t n; (n = read(pipe_fds[0], buf, sizeof buf)) != 0;) {
      if (n < 0 && errno != EINTR) break;
      if (n > 0) result.out.append(buf, static_cast<std::size_t>(n));
    }
    close(pipe_fds[0]);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  if (target.how != stdout_target::pipe) result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

process_result run_cutspot(const std::vector<std::string>& args, const stdout_target& target) {
  return run_process(CUTSPOT_BINARY, args, target);
}

}  // namespace cutspot::testing
