#pragma once
// The dedicated server as a child process: its standard input and output are pipes, so a
// test can type operator lines and wait for the lines it prints.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ServerProcess {
 public:
  // Starts `executable --server <args...>`.
  ServerProcess(const std::string& executable, const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> words{executable, "--server"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void type(const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(input_, text.data(), text.size());
  }
  void signal(int sig) { ::kill(pid_, sig); }
  // The exit status, waiting for the process to end; -1 when it was killed by a signal.
  int wait() {
    if (pid_ <= 0) return status_;
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    pid_ = -1;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return status_;
  }
  // The next whole line of output that starts with `prefix`, waiting up to `seconds`.
  std::optional<std::string> lineStarting(const std::string& prefix, double seconds = 10.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        lines.push_back(line);
        if (line.rfind(prefix, 0) == 0) return line;
      }
      if (std::chrono::steady_clock::now() > end) return std::nullopt;
      pollfd fd{output_, POLLIN, 0};
      ::poll(&fd, 1, 20);
      char chunk[4096];
      const ssize_t n = ::read(output_, chunk, sizeof chunk);
      if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
      if (n == 0) return std::nullopt;  // the process closed its output
    }
  }

  std::vector<std::string> lines;  // every line read so far

 private:
  pid_t pid_ = -1;
  int input_ = -1, output_ = -1;
  int status_ = -1;
  std::string buffer_;
};
