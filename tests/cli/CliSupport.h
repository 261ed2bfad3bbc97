#pragma once
// Runs revscope-cli as a separate process and captures what it prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct TCliResult {
  int exitCode = -1;  // -1: did not exit normally
  std::string out;
  std::string err;
};

// Runs the program with the arguments; env entries are added to (or replace in) the environment;
// the working directory is cwd when given. Gives up after timeoutSeconds (exit code -1).
TCliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}, const std::string& cwd = {},
                      int timeoutSeconds = 60);

// A private copy of revscope-cli in a scratch folder, so that the Revscope.ini beside it, the
// per-machine settings (under XDG_CONFIG_HOME in the same folder) and the journals (under
// XDG_STATE_HOME, "state/Revscope") belong to the test alone.
class TCliSandbox {
 public:
  TCliSandbox();
  ~TCliSandbox();
  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string IniPath() const { return Path("bin/Revscope.ini"); }
  std::string MachinePath() const { return Path("config/Torvane/Settings.ini"); }
  std::string JournalDir() const { return Path("state/Revscope"); }
  // The environment Run gives the program, for programs run in the background.
  std::map<std::string, std::string> Env() const {
    return {{"XDG_CONFIG_HOME", Path("config")}, {"XDG_STATE_HOME", Path("state")}, {"HOME", dir_}};
  }
  TCliResult Run(const std::vector<std::string>& args, const std::string& cwd = {}, int timeoutSeconds = 60) const;

 private:
  std::string dir_;
};

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
std::vector<std::string> SplitLines(const std::string& text);
