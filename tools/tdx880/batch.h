// Commands over many packages: the packages of the command line and of standard input, a pool of
// worker threads in one process, and the results printed in the order of the input.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace lyr::tool {

// The usage text of the batch options, for the usage lines of the commands that take them.
inline constexpr std::string_view kBatchUsage = "[--jobs N] [--json] [--quiet]";

// What a command does over its packages.
struct Batch {
  std::vector<std::string> paths;  // the packages, UTF-8, in order
  // Set when more than one package was named or "-" was given: each package's report then goes
  // to standard output as a block ("==> PATH <==", the report, and its errors), and a summary
  // line ends the output.
  bool many = false;
  int32_t jobs = 1;    // worker threads (--jobs, else the number of cores)
  bool json = false;   // --json: one JSON line per package, nothing else on standard output
  bool quiet = false;  // --quiet: no progress line
};

// The batch of a command's options (flags and values given to ParseOptions must include --jobs,
// --json and --quiet): the positional arguments are the packages, "-" standing for the lines of
// standard input (one path a line; empty lines skipped, a CR before the line end dropped).
// Nothing when no package is named or --jobs is not a number from 1 to 256.
std::optional<Batch> BatchOf(const Options& options);

// What judging one package gave.
struct PackageResult {
  std::string out;  // library text: the report (or the JSON line) for standard output
  std::string err;  // library text: errors and notes (standard error when one package is judged)
  bool passed = false;
};

// Judges every package of the batch with judge (called on batch.jobs threads at once, each call
// on its own package; judge reports failures in its result, and an error it lets escape counts as
// a failure with the error's message in err) and prints each result, in the order of the paths, as
// soon as it and every result before it are known: one package's out to standard output and err to
// standard error; with many, blocks and the summary "summary: N package(s), P passed, F failed".
// With standard error on a terminal, many packages and no --quiet, a progress line on standard
// error shows done/total, packages per second and failures, and is cleared at the end. Stops taking
// packages once a signal stops the tool. Returns 0 when every package passed, else 1.
int RunBatch(const Batch& batch, const std::function<PackageResult(const std::string&)>& judge);

}  // namespace lyr::tool
