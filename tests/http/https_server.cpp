// The HTTPS loopback server of the tests.
#include "http/https_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace lyr::test {

HttpsServer::HttpsServer(const std::vector<std::string>& arguments, const std::string& log) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(err, STDERR_FILENO);
    std::vector<std::string> all{"python3", LYR_HTTPS_SERVER_SCRIPT};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    ::execvp("python3", argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  char c = 0;
  while (::read(out[0], &c, 1) == 1 && c != '\n') {
    line += c;
  }
  ::close(out[0]);
  port_ = line.empty() ? 0 : std::stoi(line);
}

HttpsServer::~HttpsServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::string HttpsServer::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

}  // namespace lyr::test
