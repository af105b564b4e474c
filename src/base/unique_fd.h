// The owner of a file descriptor: closes it when it goes out of scope.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace lyr::base {

class UniqueFd final {
 public:
  UniqueFd() = default;
  // Takes fd (negative: none).
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  [[nodiscard]] int Get() const noexcept { return fd_; }
  // Gives up the descriptor without closing it.
  int Release() noexcept { return std::exchange(fd_, -1); }
  // Closes the descriptor now: 0, or the errno close reported (the descriptor is gone either way).
  int Close() noexcept {
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0 ? 0 : errno;
  }
  // Closes the descriptor held and takes fd.
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace lyr::base
