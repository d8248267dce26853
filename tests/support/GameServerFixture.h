#pragma once
// Starts the shipped local game server (tools/gameserver) on a free loopback port for one
// test, points the game at it (ZENTRAK_SERVER) and stops it afterwards. The server runs
// with its request log and hostile modes (--test-control).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/Http.h"
#include "support/EnvGuard.h"
#include "support/TestSupport.h"

namespace zt_test {

class LocalGameServer {
 public:
  // Launches the server and waits until it has written its port. The start (Python and,
  // seeded, its database) takes a second or two, and far longer on a loaded machine: the
  // wait ends when the port is written or the server has ended, the deadline only stops a
  // server that hangs.
  bool Start(bool seed = true) {
    std::string dir = UserRoot() + "/../gameserver";
    portFile_ = dir + ".port";
    std::remove(portFile_.c_str());
    std::string script = std::string(ZENTRAK_SOURCE_DIR) + "/tools/gameserver/gameserver.py";
    pid_ = fork();
    if (pid_ == 0) {
      std::string log = dir + ".log";
      FILE* out = std::fopen(log.c_str(), "w");
      if (out) {
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
      }
      const char* argv[] = {"python3",
                            script.c_str(),
                            "--port",
                            "0",
                            "--data",
                            dir.c_str(),
                            "--test-control",
                            "--port-file",
                            portFile_.c_str(),
                            seed ? "--seed" : nullptr,
                            nullptr};
      execvp("python3", const_cast<char* const*>(argv));
      _exit(127);
    }
    if (pid_ < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(portFile_);
      if (in >> port_ && port_ > 0) break;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ADD_FAILURE() << "the game server ended before it listened: " << ReadLog(dir + ".log");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (port_ <= 0) {
      ADD_FAILURE() << "the game server wrote no port in 240 s: " << ReadLog(dir + ".log");
      return false;
    }
    base_ = "http://127.0.0.1:" + std::to_string(port_);
    return true;
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

  ~LocalGameServer() { Stop(); }

  const std::string& Base() const { return base_; }
  int Port() const { return port_; }

  std::string Control(const std::string& pathAndQuery) {
    platform::HttpOptions options;
    options.maxReplyBytes = 16 << 20;
    platform::HttpResult r = platform::HttpGet(base_ + pathAndQuery, options, nullptr);
    return r.body;
  }
  // Every request since the last clear: "METHOD\tpath\traw query\tbody hex" a line.
  std::string Log() { return Control("/control/log?format=text"); }
  void Clear() { Control("/control/clear"); }
  void SetMode(const std::string& script, const std::string& mode) {
    Control("/control/mode?script=" + script + "&mode=" + mode);
  }
  void Sql(const std::string& statement) { Control("/control/sql?q=" + Encode(statement)); }

 private:
  static std::string Encode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
      if (isalnum(c)) {
        out += static_cast<char>(c);
      } else {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
      }
    }
    return out;
  }
  static std::string ReadLog(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  pid_t pid_ = -1;
  int port_ = 0;
  std::string base_;
  std::string portFile_;
};

}  // namespace zt_test
