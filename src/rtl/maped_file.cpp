// CMapedFile over open, posix_fallocate, mmap and ftruncate.
#include "rtl/maped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rtl/errors.h"
#include "rtl/file_utils.h"

namespace lyr::rtl {
namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;

}  // namespace

// The name is kept in the file system's form; every call below uses it.
CMapedFile::CMapedFile(std::string file_name) : file_name_(NativePath(file_name)) {}

CMapedFile::~CMapedFile() {
  try {
    Close(false);
  } catch (...) {  // Close without cut raises nothing; a destructor must not throw anyway.
  }
}

void CMapedFile::FailOpen(int error) {
  CloseHandle();
  if (created_) {
    ::unlink(file_name_.c_str());
    created_ = false;
  }
  RaiseOSError(error);
}

void CMapedFile::Open(uint32_t size) {
  Assert(file_handle_ < 0, "CMapedFile.Open of an open file", "maped_file");
  constexpr int kFlags = O_RDWR | O_CLOEXEC;
  file_handle_ = ::open(file_name_.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
  created_ = file_handle_ >= 0;
  if (file_handle_ < 0 && errno == EEXIST) {
    file_handle_ = ::open(file_name_.c_str(), kFlags);
  }
  if (file_handle_ < 0) {
    RaiseLastOSError();
  }
  struct stat st {};
  if (::fstat(file_handle_, &st) != 0) {
    FailOpen(errno);
  }
  const auto current = static_cast<uint64_t>(st.st_size);
  mapping_size_ = current + size;
  if (current >= k4GiB || mapping_size_ >= k4GiB || mapping_size_ == 0) {
    const bool too_big = mapping_size_ != 0;
    CloseHandle();
    if (created_) {
      ::unlink(file_name_.c_str());
    }
    if (too_big) {
      RaiseFmt(u8"Файл слишком велик!");
    }
    Raise("Attempt to mapping the file of size=0");
  }
  // Reserving the blocks now turns a full disk into an error here instead of a SIGBUS when the
  // mapping is written.
  if (const int error = ::posix_fallocate(file_handle_, 0, static_cast<off_t>(mapping_size_))) {
    FailOpen(error);
  }
  void* view = ::mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_SHARED, file_handle_, 0);
  if (view == MAP_FAILED) {
    FailOpen(errno);
  }
  view_ = view;
  write_position_ = 0;
  end_of_file_ = kNone;
}

void CMapedFile::Write(const void* buffer, uint32_t length) {
  Assert(view_ != nullptr, "CMapedFile.Write without Open", "maped_file");
  const uint64_t end = uint64_t{write_position_} + length;
  Assert(end <= mapping_size_, "CMapedFile.Write beyond the mapped size", "maped_file");
  if (length > 0) {
    std::memcpy(static_cast<char*>(view_) + write_position_, buffer, length);
  }
  write_position_ = static_cast<uint32_t>(end);
}

void CMapedFile::Close(bool cut) {
  Unmap();
  if (file_handle_ < 0) {
    return;
  }
  if (cut) {
    end_of_file_ = write_position_;
  }
  if (end_of_file_ != kNone && ::ftruncate(file_handle_, end_of_file_) != 0) {
    const int error = errno;
    CloseHandle();
    RaiseOSError(error);
  }
  CloseHandle();
}

void CMapedFile::Unmap() noexcept {
  if (view_ != nullptr) {
    ::munmap(view_, mapping_size_);
    view_ = nullptr;
  }
}

void CMapedFile::CloseHandle() noexcept {
  if (file_handle_ >= 0) {
    ::close(file_handle_);
    file_handle_ = -1;
  }
}

}  // namespace lyr::rtl
