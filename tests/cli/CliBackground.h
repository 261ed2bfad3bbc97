#pragma once
// revscope-cli running in the background (the simulator, a logging run that is interrupted):
// standard output through a pipe, standard error into a file, stopped by a signal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

class TBackgroundCli {
 public:
  TBackgroundCli(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& cwd, const std::string& errFile) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) dup2(err, 2);
      int devnull = open("/dev/null", O_RDONLY);
      if (devnull >= 0) dup2(devnull, 0);
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
      for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~TBackgroundCli() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      int status;
      waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) close(out_);
  }
  TBackgroundCli(const TBackgroundCli&) = delete;
  TBackgroundCli& operator=(const TBackgroundCli&) = delete;

  // The first line of standard output (without its newline); empty after timeoutMs.
  std::string FirstLine(int timeoutMs = 5000) {
    std::string line;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char c;
      ssize_t n = read(out_, &c, 1);
      if (n <= 0) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  pid_t Pid() const { return pid_; }
  bool Running() {
    if (exited_) return false;
    int status;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) Record(status);
    return !exited_;
  }
  void Signal(int sig) {
    if (!exited_) kill(pid_, sig);
  }
  // The exit code once the program has ended; -1 when it did not end normally within timeoutMs
  // (it is then killed).
  int Wait(int timeoutMs = 10000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
      if (std::chrono::steady_clock::now() > until) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
        exited_ = true;
        code_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return code_;
  }

 private:
  void Record(int status) {
    exited_ = true;
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  int code_ = -1;
};
