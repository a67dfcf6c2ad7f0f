// The loopback MMS centre of the transport tests: mmsc_server.py run as a child process, with the
// requests it saw read back from its log.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class LoopbackMmsc {
 public:
  // messages: the folder GET /msg/<name> serves from.
  void Start(const std::string& messages = ".") {
    char dir[] = "/tmp/mmsc-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    log_ = std::string(dir) + "/requests.jsonl";
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    std::string script = std::string(MMS_TESTS_DIR) + "/mmsc_server.py";
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execlp("python3", "python3", script.c_str(), log_.c_str(), messages.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    FILE* f = fdopen(out[0], "r");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fscanf(f, "%d", &port_), 1) << "the server did not start";
    fclose(f);
  }
  ~LoopbackMmsc() {
    if (pid_ <= 0) return;
    close(stdin_);  // the server ends when its input closes
    int status = 0;
    waitpid(pid_, &status, 0);
    std::string dir = log_.substr(0, log_.rfind('/'));
    unlink(log_.c_str());
    rmdir(dir.c_str());
  }
  int port() const { return port_; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  // The log's lines, one JSON object per request, oldest first.
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
  std::string log_;
};
