// Real servers for tests on 127.0.0.1: an HTTP server in a thread, an HTTPS server in python3.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lyr::test {

// Listens on an ephemeral port and answers each connection, one at a time, with a scripted handler.
class LoopbackServer final {
 public:
  // Called for each connection with the connection's socket and the request head (request line
  // and headers, up to and including the empty line). The server closes the socket afterwards.
  using Handler = std::function<void(int socket, const std::string& request)>;

  explicit LoopbackServer(Handler handler);
  ~LoopbackServer();

  [[nodiscard]] uint16_t Port() const { return port_; }
  // "127.0.0.1:<port>"
  [[nodiscard]] std::string Authority() const;
  // "http://127.0.0.1:<port>/" + path
  [[nodiscard]] std::string Url(std::string_view path) const;
  // The request heads received so far, in order.
  [[nodiscard]] std::vector<std::string> Requests() const;

  // Writes all of bytes (ignores a peer that went away).
  static void Send(int socket, std::string_view bytes);
  // Reads until the peer closes the connection.
  static void WaitForClose(int socket);
  // A complete response with Content-Length and "Connection: close".
  static std::string Response(int status, std::string_view reason, std::string_view body,
                              std::string_view extra_headers = {});

 private:
  void Serve();
  std::string ReadHead(int socket) const;

  Handler handler_;
  int listener_ = -1;
  int stop_ = -1;  // eventfd that wakes the thread to stop
  uint16_t port_ = 0;
  mutable std::mutex lock_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A handler that answers every request with LoopbackServer::Response(...).
LoopbackServer::Handler Answer(int status, std::string reason, std::string body,
                               std::string extra_headers = {});

// A loopback port on which nothing listens (bound, then closed).
uint16_t ClosedPort();

// https_server.py under python3's ssl module, run for the lifetime of the object.
class HttpsServer final {
 public:
  // Starts "python3 https_server.py CERT KEY [CLIENT_CA]" with arguments, its standard error
  // appended to log, and reads the port it prints. Port() is 0 when it did not start.
  HttpsServer(const std::vector<std::string>& arguments, const std::string& log);
  ~HttpsServer();  // terminates the server and waits for it
  HttpsServer(const HttpsServer&) = delete;
  HttpsServer& operator=(const HttpsServer&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  // "https://127.0.0.1:<port>/" + path
  [[nodiscard]] std::string Url(const std::string& path) const;

 private:
  FILE* pipe_ = nullptr;  // the server's standard output, which gives its process id and port
  int pid_ = -1;
  int port_ = 0;
};

}  // namespace lyr::test
