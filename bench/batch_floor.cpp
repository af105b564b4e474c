// The in-process floor of bench/batch_vs_loop.py: the library reads the packages named on the
// command line one after the other on one thread (Open, Decrypt, and every item's CheckSignEx
// without downloads and revocation lists, as "tdx880 verify --no-download --no-crl" checks them)
// and prints, as one JSON object, how many it read, how many failed, and the CPU and wall
// milliseconds per package. The stores and keys are those of the environment (LYR_TDX_HOME).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "crypt/platform/crypto_runtime.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "rtl/errors.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// True when the package reads and every signature of every item is valid.
bool ReadPackage(const std::string& path) {
  try {
    lyr::package::CTdx880Doc doc;
    if (!doc.Open(path) || !doc.Decrypt()) {
      return false;
    }
    for (int32_t i = 0; i < doc.GetFileCount(); ++i) {
      if (!doc.GetFile(i)->CheckSignEx(false, false)) {
        return false;
      }
    }
    return true;
  } catch (const lyr::rtl::Exception&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: batch_floor PACKAGE...\n", stderr);
    return 2;
  }
  const lyr::crypt::CryptoRuntime runtime;
  ReadPackage(argv[1]);  // the engine's and the stores' first use is not the floor's
  const double cpu = CpuSeconds();
  const auto wall = std::chrono::steady_clock::now();
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    failed += ReadPackage(argv[i]) ? 0 : 1;
  }
  const double packages = argc - 1;
  const double wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  std::printf(
      "{\"packages\": %d, \"failed\": %d, \"cpu_ms_per_package\": %.4f, "
      "\"wall_ms_per_package\": %.4f}\n",
      argc - 1, failed, (CpuSeconds() - cpu) * 1000.0 / packages, wall_seconds * 1000.0 / packages);
  return 0;
}
