// The tool's cleanup on SIGINT, SIGTERM and SIGHUP: a thread waits for the signals with sigwait
// and removes what the commands registered, so no signal handler ever runs.
#include "signal_cleanup.h"

#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/folder_lock.h"

namespace lyr::tool {
namespace {

// The registered cleanups. Signal dispositions belong to the process, so this list does too: it
// is made once and never destroyed, because the waiting thread may still take its lock while the
// process runs its exit.
struct Registry {
  std::mutex mutex;
  std::map<uint64_t, std::function<void()>> cleanups;
  uint64_t next_id = 0;
  std::atomic<bool> stopping{false};
  // The descriptor of the living StopRequest (-1: none), and whether a signal asked it to stop.
  std::atomic<int> stop_request_fd{-1};
  std::atomic<bool> stop_requested{false};
};

Registry& TheRegistry() {
  static Registry* const registry = new Registry;
  return *registry;
}

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// Waits for a signal; the first one while a StopRequest lives only marks the request.
int NextStoppingSignal(const sigset_t& set) {
  Registry& registry = TheRegistry();
  for (;;) {
    int signal = 0;
    if (::sigwait(&set, &signal) != 0) {
      continue;
    }
    const std::lock_guard lock(registry.mutex);
    const int fd = registry.stop_request_fd;
    if (fd < 0 || registry.stop_requested.exchange(true)) {
      return signal;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
  }
}

[[noreturn]] void WaitForSignals(sigset_t set) {
  const int signal = NextStoppingSignal(set);
  Registry& registry = TheRegistry();
  registry.stopping = true;
  const std::lock_guard lock(registry.mutex);
  for (auto it = registry.cleanups.rbegin(); it != registry.cleanups.rend(); ++it) {
    try {
      it->second();
    } catch (...) {
      // A cleanup that fails must not keep the others from running.
    }
  }
  ::_exit(128 + signal);
}

// The private folders' names in the temporary folder, before a new identifier.
constexpr std::string_view kWorkspacePrefix = "tdx880-";

bool PathExists(const std::string& native) {
  struct stat st {};
  return ::lstat(native.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

void StartSignalCleanup() {
  const sigset_t set = StopSignals();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
    rtl::RaiseLastOSError();
  }
  std::thread(WaitForSignals, set).detach();
}

void FinishSignalCleanup() {
  // Never released: once main has its status, no cleanup may start, and one that has started
  // ends the process while it holds the lock.
  TheRegistry().mutex.lock();
}

bool Stopping() noexcept {
  return TheRegistry().stopping;
}

StopRequest::StopRequest() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) {
    rtl::RaiseLastOSError();
  }
  const std::lock_guard lock(TheRegistry().mutex);
  TheRegistry().stop_requested = false;
  TheRegistry().stop_request_fd = fd_;
}

StopRequest::~StopRequest() {
  {
    // The waiting thread writes to the descriptor only under the lock, so it is never closed
    // under a write.
    const std::lock_guard lock(TheRegistry().mutex);
    TheRegistry().stop_request_fd = -1;
  }
  ::close(fd_);
}

bool StopRequest::Requested() noexcept {
  return TheRegistry().stop_requested;
}

CleanupOnSignal::CleanupOnSignal(std::function<void()> cleanup) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  id_ = registry.next_id++;
  registry.cleanups.emplace(id_, std::move(cleanup));
}

CleanupOnSignal::~CleanupOnSignal() {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.cleanups.erase(id_);
}

void CleanupOnSignal::Exclusive(const std::function<void()>& change) {
  const std::lock_guard lock(TheRegistry().mutex);
  change();
}

void RemoveFolderTree(const std::string& path) noexcept {
  try {
    const std::string native = rtl::NativePath(path);
    // A thread still writing into the folder may add an entry after the walk has passed; the
    // next round takes it.
    for (int round = 0; round < 100 && PathExists(native); ++round) {
      rtl::DeleteDirectoryTree(path);
    }
  } catch (...) {
    // Nothing more can be done for this folder.
  }
}

TempWorkspace::TempWorkspace()
    : cleanup_([this] {
        if (folder_) {
          RemoveFolderTree(path_);
          folder_->Remove();
        }
      }) {
  const std::string parent = rtl::GetTempDirectory();
  // The folder of a tool killed outright is left with its lock released.
  rtl::SweepStaleFolders(parent, kWorkspacePrefix);
  CleanupOnSignal::Exclusive([&] {
    folder_.emplace(rtl::CreateLockedFolder(parent, kWorkspacePrefix));
    path_ = rtl::IncludeTrailingBackslash(folder_->Folder());
  });
}

TempWorkspace::~TempWorkspace() {
  CleanupOnSignal::Exclusive([this] {
    RemoveFolderTree(path_);
    folder_.reset();
  });
}

}  // namespace lyr::tool
