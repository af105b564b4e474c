// The loopback servers of the tests.
#include "http/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace lyr::test {
namespace {

int ListenOnLoopback(uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// Waits until fd is readable or the stop event fires; false on stop.
bool WaitReadable(int fd, int stop) {
  std::array<pollfd, 2> fds{pollfd{fd, POLLIN, 0}, pollfd{stop, POLLIN, 0}};
  while (::poll(fds.data(), fds.size(), -1) < 0) {
  }
  return (fds[1].revents & POLLIN) == 0;
}

}  // namespace

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = ListenOnLoopback(&port_);
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  const uint64_t one = 1;
  static_cast<void>(::write(stop_, &one, sizeof(one)));
  thread_.join();
  ::close(listener_);
  ::close(stop_);
}

std::string LoopbackServer::Authority() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string LoopbackServer::Url(std::string_view path) const {
  return "http://" + Authority() + "/" + std::string(path);
}

std::vector<std::string> LoopbackServer::Requests() const {
  const std::lock_guard guard(lock_);
  return requests_;
}

void LoopbackServer::Serve() {
  while (WaitReadable(listener_, stop_)) {
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      continue;
    }
    const std::string head = ReadHead(connection);
    {
      const std::lock_guard guard(lock_);
      requests_.push_back(head);
    }
    handler_(connection, head);
    ::shutdown(connection, SHUT_RDWR);
    ::close(connection);
  }
}

std::string LoopbackServer::ReadHead(int socket) const {
  std::string head;
  std::array<char, 1> byte{};
  while (head.find("\r\n\r\n") == std::string::npos && WaitReadable(socket, stop_)) {
    if (::recv(socket, byte.data(), byte.size(), 0) != 1) {
      break;
    }
    head += byte[0];
  }
  return head;
}

void LoopbackServer::Send(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
}

void LoopbackServer::WaitForClose(int socket) {
  std::array<char, 256> buffer{};
  while (::recv(socket, buffer.data(), buffer.size(), 0) > 0) {
  }
}

std::string LoopbackServer::Response(int status, std::string_view reason, std::string_view body,
                                     std::string_view extra_headers) {
  return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
         std::string(extra_headers) + "\r\n" + std::string(body);
}

LoopbackServer::Handler Answer(int status, std::string reason, std::string body,
                               std::string extra_headers) {
  return [=](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(status, reason, body, extra_headers));
  };
}

uint16_t ClosedPort() {
  uint16_t port = 0;
  ::close(ListenOnLoopback(&port));
  return port;
}

HttpsServer::HttpsServer(const std::vector<std::string>& arguments, const std::string& log) {
  std::string command = "exec python3 '" LYR_HTTPS_SERVER_SCRIPT "'";
  for (const std::string& argument : arguments) {
    command += " '" + argument + "'";
  }
  pipe_ = ::popen((command + " 2>>'" + log + "'").c_str(), "re");
  if (pipe_ == nullptr || std::fscanf(pipe_, "%d %d", &pid_, &port_) != 2) {
    port_ = 0;
  }
}

HttpsServer::~HttpsServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
  }
  if (pipe_ != nullptr) {
    ::pclose(pipe_);
  }
}

std::string HttpsServer::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

}  // namespace lyr::test
