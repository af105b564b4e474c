// The tool's cleanup on SIGINT, SIGTERM and SIGHUP: a thread waits for the signals with sigwait
// and removes what the commands registered, so no signal handler ever runs.
#include "signal_cleanup.h"

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

[[noreturn]] void WaitForSignals(sigset_t set) {
  int signal = 0;
  while (::sigwait(&set, &signal) != 0) {
  }
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
