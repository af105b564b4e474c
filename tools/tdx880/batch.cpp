// Commands over many packages: worker threads take the packages in input order, a result waits
// until every result before it is printed, so the output keeps the order of the input.
#include "batch.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kMaxJobs = 256;

// The cores this process may run on.
int32_t CoreCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
    return CPU_COUNT(&set);
  }
  return static_cast<int32_t>(std::max(1U, std::thread::hardware_concurrency()));
}

std::optional<int32_t> JobsOf(const std::string& text) {
  if (text.empty() || text.size() > 3 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int32_t jobs = std::stoi(text);
  if (jobs < 1 || jobs > kMaxJobs) {
    return std::nullopt;
  }
  return jobs;
}

// Appends the paths of standard input, one a line.
void AppendPathsOfInput(std::vector<std::string>& paths) {
  for (std::string line; std::getline(std::cin, line);) {
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    if (!line.empty()) {
      paths.push_back(line);
    }
  }
}

// The progress line on standard error: drawn at most ten times a second, cleared before a result
// goes to a terminal on standard output and at the end.
class Progress final {
 public:
  Progress(size_t total, bool shown)
      : total_(total), shown_(shown), output_is_terminal_(::isatty(1) == 1) {}

  [[nodiscard]] bool Shown() const noexcept { return shown_; }
  ~Progress() { Clear(); }

  void Count(bool passed) {
    ++done_;
    failed_ += passed ? 0 : 1;
  }

  // Redraws the line when it is due.
  void Tick() {
    const Clock::time_point now = Clock::now();
    if (!shown_ || Stopping() || (drawn_ && now - last_ < std::chrono::milliseconds(100))) {
      return;
    }
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const auto rate = static_cast<int64_t>(seconds > 0 ? static_cast<double>(done_) / seconds : 0);
    const std::string line =
        rtl::Format("\r%d/%d packages, %d/s, %d failed\x1b[K", static_cast<int64_t>(done_),
                    static_cast<int64_t>(total_), rate, static_cast<int64_t>(failed_));
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
  }

  // Clears the line before output reaches the terminal it is on.
  void BeforeOutput() {
    if (output_is_terminal_) {
      Clear();
    }
  }

  void Clear() {
    if (drawn_ && !Stopping()) {
      std::fputs("\r\x1b[K", stderr);
      std::fflush(stderr);
    }
    drawn_ = false;
  }

  [[nodiscard]] size_t Failed() const noexcept { return failed_; }

 private:
  size_t total_;
  bool shown_;
  bool output_is_terminal_;
  bool drawn_ = false;
  size_t done_ = 0;
  size_t failed_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_;
};

// Prints the results in order (main thread only).
class Printer final {
 public:
  explicit Printer(const Batch& batch)
      : batch_(batch),
        progress_(batch.paths.size(), batch.many && !batch.quiet && ::isatty(2) == 1),
        output_is_terminal_(::isatty(1) == 1) {}

  void Emit(size_t index, const PackageResult& result) {
    progress_.Count(result.passed);
    progress_.BeforeOutput();
    if (batch_.json || !batch_.many) {
      Print(result.out);
      PrintError(result.err);
    } else {
      Print(std::string(index == 0 ? "" : "\n") + "==> " +
            Escaped(FromTerminal(batch_.paths[index])) + " <==\n" + result.out + result.err);
    }
    if (progress_.Shown() && output_is_terminal_) {
      std::fflush(stdout);  // before the progress line is drawn again below it
    }
    progress_.Tick();
  }

  void Tick() { progress_.Tick(); }

  // Ends the output; the exit status.
  int Finish(size_t printed) {
    progress_.Clear();
    const size_t failed = progress_.Failed() + (batch_.paths.size() - printed);
    if (batch_.many && !batch_.json) {
      Print(rtl::Format("\nsummary: %d package(s), %d passed, %d failed\n",
                        static_cast<int64_t>(batch_.paths.size()),
                        static_cast<int64_t>(batch_.paths.size() - failed),
                        static_cast<int64_t>(failed)));
    }
    return failed == 0 ? 0 : 1;
  }

 private:
  const Batch& batch_;
  Progress progress_;
  bool output_is_terminal_;
};

PackageResult JudgeSafely(const std::function<PackageResult(const std::string&)>& judge,
                          const std::string& path) {
  try {
    return judge(path);
  } catch (const rtl::Exception& error) {
    return {"", EscapedMessage(error.Message()) + "\n", false};
  } catch (const std::exception& error) {
    return {"", EscapedMessage(rtl::Utf8ToAnsi(std::string_view(error.what()))) + "\n", false};
  }
}

// The results between the workers and the printing thread.
class Pipeline final {
 public:
  Pipeline(const Batch& batch, const std::function<PackageResult(const std::string&)>& judge,
           size_t workers)
      : batch_(batch), judge_(judge), results_(batch.paths.size()), running_(workers) {}

  // A worker: judges the next package until none is left; keeps at most kWindow results
  // waiting to be printed.
  void Work() {
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock,
                      [&] { return taken_ >= results_.size() || taken_ < printed_ + Window(); });
        if (taken_ >= results_.size() || Stopping()) {
          --running_;
          changed_.notify_all();
          return;
        }
        index = taken_++;
      }
      PackageResult result = JudgeSafely(judge_, batch_.paths[index]);
      {
        const std::lock_guard lock(mutex_);
        results_[index] = std::move(result);
      }
      changed_.notify_all();
    }
  }

  // The printing thread: prints each result in order; returns how many were printed (fewer than
  // the packages only when a signal stopped the workers).
  size_t PrintAll(Printer& printer) {
    size_t printed = 0;
    while (printed < results_.size()) {
      std::optional<PackageResult> result;
      {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(100),
                          [&] { return results_[printed].has_value() || running_ == 0; });
        if (!results_[printed]) {
          if (running_ == 0) {
            return printed;
          }
          lock.unlock();
          printer.Tick();
          continue;
        }
        result = std::move(results_[printed]);
        results_[printed].reset();
        printed_ = ++printed;
      }
      changed_.notify_all();
      printer.Emit(printed - 1, *result);
    }
    return printed;
  }

 private:
  [[nodiscard]] size_t Window() const { return 64 * static_cast<size_t>(batch_.jobs); }

  const Batch& batch_;
  const std::function<PackageResult(const std::string&)>& judge_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<PackageResult>> results_;
  size_t taken_ = 0;
  size_t printed_ = 0;
  size_t running_;
};

}  // namespace

std::optional<Batch> BatchOf(const Options& options) {
  Batch batch;
  for (const std::string& argument : options.positional) {
    if (argument == "-" && !batch.many) {
      batch.many = true;
      AppendPathsOfInput(batch.paths);
    } else if (argument != "-") {
      batch.paths.push_back(argument);
    } else {
      return std::nullopt;
    }
  }
  if (options.positional.empty()) {
    return std::nullopt;
  }
  batch.many = batch.many || batch.paths.size() > 1;
  const std::optional<int32_t> jobs =
      options.Has("--jobs") ? JobsOf(options.Value("--jobs")) : CoreCount();
  if (!jobs) {
    return std::nullopt;
  }
  batch.jobs = *jobs;
  batch.json = options.Has("--json");
  batch.quiet = options.Has("--quiet");
  return batch;
}

int RunBatch(const Batch& batch, const std::function<PackageResult(const std::string&)>& judge) {
  Printer printer(batch);
  const size_t workers = std::min(static_cast<size_t>(batch.jobs), batch.paths.size());
  if (workers <= 1) {
    size_t printed = 0;
    for (; printed < batch.paths.size() && !Stopping(); ++printed) {
      printer.Emit(printed, JudgeSafely(judge, batch.paths[printed]));
    }
    return printer.Finish(printed);
  }
  Pipeline pipeline(batch, judge, workers);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < workers; ++i) {
    threads.emplace_back([&pipeline] { pipeline.Work(); });
  }
  const size_t printed = pipeline.PrintAll(printer);
  for (std::thread& thread : threads) {
    thread.join();
  }
  return printer.Finish(printed);
}

}  // namespace lyr::tool
