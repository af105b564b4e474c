// The HTTPS loopback server of the tests (https_server.py under python3's ssl module), run as a
// child process for the lifetime of the object.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace lyr::test {

class HttpsServer final {
 public:
  // Starts "python3 https_server.py CERT KEY [CLIENT_CA]" with arguments, its standard error
  // appended to log, and waits for the port it prints. Port() is 0 when it did not start.
  HttpsServer(const std::vector<std::string>& arguments, const std::string& log);
  // Terminates the server and waits for it.
  ~HttpsServer();
  HttpsServer(const HttpsServer&) = delete;
  HttpsServer& operator=(const HttpsServer&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  // "https://127.0.0.1:<port>/" + path
  [[nodiscard]] std::string Url(const std::string& path) const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace lyr::test
