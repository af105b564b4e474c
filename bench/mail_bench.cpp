// Packages as Internet messages: a package of one 100 MB incompressible document turned into a
// message (save, read, base64, headers) and the message back into a package (parse, decode,
// open), against `base64` and `base64 -d` of the same bytes, and the container's save alone.
// Each benchmark reports the peak resident memory of the process (or of the `base64` child); run
// one benchmark per process (--benchmark_filter) for a figure of that case alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "mail/mail_runtime.h"
#include "mail/package_mail.h"
#include "package/tdx880_doc.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kDocumentSize = size_t{100} << 20;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

double PeakRssMb(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Runs body in a child process (so its memory does not count for the parent) and waits.
template <typename Body>
void InChild(Body&& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) {
    throw std::runtime_error("child failed");
  }
}

// A private folder with TMP, the package (one random 100 MB document, so the package is 100 MB
// too) and its message, both made by child processes.
struct Fixture {
  fs::path folder;
  std::string tmp;
  std::string package;
  std::string message;

  Fixture() {
    std::string pattern = (fs::temp_directory_path() / "lyr-mail-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp");
    }
    folder = pattern;
    tmp = (folder / "tmp").string();
    fs::create_directories(tmp);
    ::setenv("TMP", tmp.c_str(), 1);
    package = (folder / "package.zip").string();
    message = (folder / "package.eml").string();
    InChild([&] {
      std::string content(kDocumentSize, '\0');
      std::mt19937_64 random(880);
      for (size_t i = 0; i + 8 <= content.size(); i += 8) {
        const uint64_t value = random();
        std::memcpy(content.data() + i, &value, 8);
      }
      lyr::package::CTdx880Doc doc;
      doc.New("01", "01");
      doc.SetSenderIdentifier("7701000001");
      doc.SetReceiverIdentifier("7702");
      doc.AddFile("01", "xml", "declaration.xml", std::move(content));
      doc.SaveAs(package);
    });
    InChild([&] {
      lyr::package::CTdx880Doc doc;
      doc.Open(package);
      std::ofstream(message, std::ios::binary)
          << lyr::mail::CreateEmailByPackage(doc, tmp, "a@example.ru", "b@example.ru");
    });
  }
  ~Fixture() { fs::remove_all(folder); }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// User and system CPU seconds used so far by this process (RUSAGE_SELF) or its waited-for
// children (RUSAGE_CHILDREN): on a shared machine CPU time says more than wall time.
double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Report(benchmark::State& state, int64_t bytes, int who, double cpu_before) {
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["cpu_ms/conversion"] =
      (CpuSeconds(who) - cpu_before) * 1000.0 / static_cast<double>(state.iterations());
  state.counters["package_MB"] = static_cast<double>(fs::file_size(TheFixture().package)) / 1e6;
  state.counters["peak_rss_MB"] = PeakRssMb(who);
}

// Runs body once per iteration on the package opened afresh (the opening neither timed nor
// counted): a conversion of an opened package also makes its documents' stored forms again,
// which a second save of the same open package would find made.
template <typename Body>
void OnFreshPackage(benchmark::State& state, Body&& body) {
  const Fixture& f = TheFixture();
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    lyr::package::CTdx880Doc doc;
    doc.Open(f.package);
    state.ResumeTiming();
    const double before = CpuSeconds(RUSAGE_SELF);
    body(doc);
    cpu += CpuSeconds(RUSAGE_SELF) - before;
  }
  Report(state, static_cast<int64_t>(fs::file_size(f.package)), RUSAGE_SELF, 0);
  state.counters["cpu_ms/conversion"] = cpu * 1000.0 / static_cast<double>(state.iterations());
}

void BM_PackageToMessage(benchmark::State& state) {
  const Fixture& f = TheFixture();
  const lyr::mail::MailRuntime runtime;
  size_t size = 0;
  OnFreshPackage(state, [&](lyr::package::CTdx880Doc& doc) {
    size = lyr::mail::CreateEmailByPackage(doc, f.tmp, "a@example.ru", "b@example.ru").size();
  });
  state.counters["message_MB"] = static_cast<double>(size) / 1e6;
}

// The part of BM_PackageToMessage that is the container's own: saving the package.
void BM_PackageSave(benchmark::State& state) {
  const Fixture& f = TheFixture();
  OnFreshPackage(state, [&](lyr::package::CTdx880Doc& doc) {
    doc.Save(f.tmp);
    fs::remove(doc.FileName());
  });
}

void BM_MessageToPackage(benchmark::State& state) {
  const Fixture& f = TheFixture();
  const lyr::mail::MailRuntime runtime;
  const std::string message = ReadFile(f.message);
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    lyr::package::CTdx880Doc doc;
    lyr::mail::CreatePackageByEmail(message, f.tmp, doc);
    benchmark::DoNotOptimize(doc.GetFileCount());
  }
  Report(state, static_cast<int64_t>(fs::file_size(f.package)), RUSAGE_SELF, cpu);
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error(command);
  }
}

// Runs `base64 arguments` under /usr/bin/time; returns the child's peak resident memory in MB.
double Base64(const std::string& arguments) {
  const std::string rss = TheFixture().folder.string() + "/rss";
  Shell("/usr/bin/time -f %M -o '" + rss + "' base64 " + arguments);
  return std::stod(ReadFile(rss)) / 1024.0;
}

void RunBase64(benchmark::State& state, const std::string& arguments) {
  const Fixture& f = TheFixture();
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  double peak = 0;
  for (auto _ : state) {
    peak = std::max(peak, Base64(arguments));
  }
  Report(state, static_cast<int64_t>(fs::file_size(f.package)), RUSAGE_CHILDREN, cpu);
  state.counters["peak_rss_MB"] = peak;
}

void BM_Base64Encode(benchmark::State& state) {
  const Fixture& f = TheFixture();
  RunBase64(state, "'" + f.package + "' > '" + f.tmp + "/b64'");
  fs::remove(f.tmp + "/b64");
}

void BM_Base64Decode(benchmark::State& state) {
  const Fixture& f = TheFixture();
  Shell("base64 '" + f.package + "' > '" + f.folder.string() + "/b64'");
  RunBase64(state, "-d '" + f.folder.string() + "/b64' > '" + f.tmp + "/bin'");
  fs::remove(f.tmp + "/bin");
}

}  // namespace

BENCHMARK(BM_PackageToMessage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PackageSave)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MessageToPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
