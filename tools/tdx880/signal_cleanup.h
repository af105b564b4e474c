// What the tool removes when a signal stops it: SIGINT, SIGTERM and SIGHUP end the tool with exit
// status 128 + signal after every registered cleanup ran, so a stopped command leaves no working
// folder, staging folder or extracted file of its own behind.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "rtl/folder_lock.h"

namespace lyr::tool {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (main, before any other thread starts,
// so every later thread inherits the mask) and starts a thread that waits for them. When one
// arrives, that thread marks the tool as stopping (Print and PrintError write nothing more), runs
// the registered cleanups, newest first, and ends the process with _exit(128 + signal). The
// cleanups run in that ordinary thread, never in a signal handler.
void StartSignalCleanup();

// Called by main before it returns: waits for a cleanup a signal has started (which ends the
// process, so a stopped tool always ends with 128 + signal) and keeps later signals from starting
// one; the process ends with its own status then.
void FinishSignalCleanup();

// True once a signal has started the cleanup.
[[nodiscard]] bool Stopping() noexcept;

// A request to stop that a long-running command honours between two units of work. While a
// StopRequest lives, the first SIGINT, SIGTERM or SIGHUP does not stop the tool: it marks the
// request and makes WakeFd readable, and the command finishes what it has in hand and returns. A
// second signal stops the tool as usual. One StopRequest at a time, made by the main thread.
class StopRequest final {
 public:
  // Raises the OS error when the descriptor cannot be made.
  StopRequest();
  ~StopRequest();

  // True once a signal asked the command to stop.
  [[nodiscard]] static bool Requested() noexcept;
  // A descriptor that becomes readable when a signal asks the command to stop (for poll).
  [[nodiscard]] int WakeFd() const noexcept { return fd_; }

  StopRequest(const StopRequest&) = delete;
  StopRequest& operator=(const StopRequest&) = delete;

 private:
  int fd_;
};

// A cleanup that runs when a signal stops the tool while this object lives. Cleanups run while
// the tool's other threads go on, so they must cope with a main thread still working (the tool's
// main thread changes what a cleanup looks at only inside Exclusive).
class CleanupOnSignal final {
 public:
  explicit CleanupOnSignal(std::function<void()> cleanup);
  ~CleanupOnSignal();

  // Runs change while no cleanup runs: a cleanup sees the state before or after it. change must
  // not create or destroy a CleanupOnSignal.
  static void Exclusive(const std::function<void()>& change);

  CleanupOnSignal(const CleanupOnSignal&) = delete;
  CleanupOnSignal& operator=(const CleanupOnSignal&) = delete;

 private:
  uint64_t id_;
};

// Deletes the folder path (library text) with everything in it, again and again while a thread
// still working in it adds entries, until it is gone. Never throws.
void RemoveFolderTree(const std::string& path) noexcept;

// A private folder (mode 0700) in the temporary folder, named "tdx880-" and a new identifier, for
// the working folders of the packages a command opens: removed with everything in it when the
// object ends or a signal stops the tool. The folder is locked (rtl::FolderLock) while it lives,
// and making one first sweeps the folders of tools that were killed outright (kill -9).
class TempWorkspace final {
 public:
  // Raises the OS error when the folder cannot be made.
  TempWorkspace();
  ~TempWorkspace();

  // Full path of the folder (library text), ending in "/".
  [[nodiscard]] const std::string& Path() const noexcept { return path_; }

  TempWorkspace(const TempWorkspace&) = delete;
  TempWorkspace& operator=(const TempWorkspace&) = delete;

 private:
  std::string path_;
  std::optional<rtl::FolderLock> folder_;  // changed only inside CleanupOnSignal::Exclusive
  CleanupOnSignal cleanup_;
};

}  // namespace lyr::tool
