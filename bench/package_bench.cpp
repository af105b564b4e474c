// Package throughput: building (New, AddFile, SignFile, Encrypt, SaveAs) and reading (Open,
// Decrypt, CheckSignEx) a package with one 10 KB, 1 MB or 100 MB document, against the peer
// pipeline on the same data: openssl cms -sign, zip -6, openssl cms -encrypt and zip -6 of the
// result, and back (unzip, openssl cms -decrypt, unzip, openssl cms -verify). Each benchmark
// reports its peak resident memory (in-process: this process; peer: the largest child); run one
// benchmark per process (--benchmark_filter) for a figure of that case alone. The environment
// chooses the key (LYR_BENCH_KEY) and the envelope cipher (LYR_TDX_ENVELOPE_CIPHER).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "rtl/str_array.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A declaration-like XML text of size bytes: lines of one form that differ in their numbers, so
// it deflates as real declarations do (about 5 to 1).
std::string Document(size_t size) {
  std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Файл>\n";
  for (uint64_t line = 0; text.size() < size; ++line) {
    text += "<Строка Номер=\"" + std::to_string(line) + "\" КодСтроки=\"" +
            std::to_string((line * 7919) % 100000) + "\" Сумма=\"" +
            std::to_string((line * 104729) % 10000000) + ".00\"/>\n";
  }
  text.resize(size);
  return text;
}

double PeakRssMb(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
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

// A private home (LYR_TDX_HOME, TMP) with a GOST key in a container, its self-signed
// certificate in "MY" (bound to the container) and "ROOT", and the same files for openssl.
struct Fixture {
  fs::path folder;
  std::string prefix;  // shell prefix running openssl with the engine in the folder
  lyr::crypt::CTdx880Key key;

  static fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "lyr-package-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp");
    }
    const fs::path folder = pattern;
    WriteFile(folder / "openssl.cnf",
              "openssl_conf = d\n[d]\nengines = e\n[e]\ngost = g\n[g]\nengine_id = gost\n"
              "dynamic_path = " +
                  lyr::crypt::GostEngineFile() +
                  "\ndefault_algorithms = ALL\n"
                  "[req]\ndistinguished_name = n\n[n]\n");
    // LYR_BENCH_KEY=gost2012_256 benches a GOST R 34.10-2012 key (for the envelope ciphers
    // that LYR_TDX_ENVELOPE_CIPHER names); GOST R 34.10-2001 otherwise.
    const char* kind = std::getenv("LYR_BENCH_KEY");
    const std::string key = kind != nullptr && std::string(kind) == "gost2012_256"
                                ? "gost2012_256 -pkeyopt paramset:A"
                                : "gost2001 -pkeyopt paramset:XA";
    if (std::system(("cd '" + folder.string() +
                     "' && OPENSSL_CONF=openssl.cnf openssl req -x509 -newkey " + key +
                     " -nodes -keyout key.pem -subj /CN=Bench -days 2 -out cert.pem 2>/dev/null")
                        .c_str()) != 0) {
      throw std::runtime_error("openssl req");
    }
    fs::create_directories(folder / "home");
    fs::create_directories(folder / "tmp");
    ::setenv("LYR_TDX_HOME", (folder / "home").c_str(), 1);
    ::setenv("TMP", (folder / "tmp").c_str(), 1);
    return folder;
  }

  explicit Fixture(const fs::path& f)
      : folder(f),
        prefix("cd '" + f.string() + "' && export OPENSSL_CONF='" + f.string() +
               "/openssl.cnf' && ") {
    using namespace lyr::crypt;
    const Certificate certificate = Certificate::FromPem(ReadFile(f / "cert.pem"));
    const PrivateKey private_key = PrivateKey::FromPem(ReadFile(f / "key.pem"), std::nullopt);
    KeyContainer::Create(StoreLocation::kCurrentUser, "bench", private_key);
    Certificate bound = certificate;
    bound.SetKeyProv(KeyProvInfo{"bench", "", 75, 1, 1});
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY")
        .Add(bound, AddDisposition::kReplaceExisting);
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "ROOT")
        .Add(certificate, AddDisposition::kReplaceExisting);
    FillKeyFromCertificate(key, certificate);
  }

  Fixture() : Fixture(MakeFolder()) {}
  ~Fixture() { fs::remove_all(folder); }

  void Shell(const std::string& command) const {
    if (std::system((prefix + command).c_str()) != 0) {
      throw std::runtime_error(command);
    }
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Builds the package of content into path.
void BuildPackage(const Fixture& f, const std::string& content, const std::string& path) {
  lyr::package::CTdx880Doc doc;
  if (!doc.New("01", "01")) {
    throw std::runtime_error("New");
  }
  doc.SetSenderIdentifier("7701000001");
  doc.SetReceiverIdentifier("7702");
  doc.AddFile("01", "xml", "declaration.xml", content);
  if (!doc.SignFile("declaration.xml", &f.key) || !doc.Encrypt(&f.key) || !doc.SaveAs(path)) {
    throw std::runtime_error("build");
  }
}

// Opens and decrypts the package at path and, with verify, verifies its signature (without
// downloads and revocation lists); returns the document's size.
size_t ReadPackage(const std::string& path, bool verify) {
  lyr::package::CTdx880Doc doc;
  if (!doc.Open(path) || !doc.Decrypt()) {
    throw std::runtime_error("read");
  }
  const auto item = doc.GetFile(0);
  if (verify && !item->CheckSignEx(false, false)) {
    throw std::runtime_error("verify");
  }
  return item->RawContent().size();
}

// Packages per second and MB/s of wall time, CPU milliseconds per package (of this process or
// of the peer's processes), peak resident memory.
void Report(benchmark::State& state, int who, double cpu_before) {
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["packages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["cpu_ms/package"] =
      (CpuSeconds(who) - cpu_before) * 1000.0 / static_cast<double>(state.iterations());
  state.counters["peak_rss_MB"] = PeakRssMb(who);
}

void BM_PackageBuild(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const Fixture& f = TheFixture();
  const std::string content = Document(static_cast<size_t>(state.range(0)));
  const std::string path = (f.folder / "package.zip").string();
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    BuildPackage(f, content, path);
  }
  Report(state, RUSAGE_SELF, cpu);
}

void Read(benchmark::State& state, bool verify) {
  const lyr::crypt::CryptoRuntime runtime;
  const Fixture& f = TheFixture();
  const std::string path = (f.folder / "package.zip").string();
  // Built by a child process, so the peak memory is the reading's alone.
  const pid_t child = ::fork();
  if (child == 0) {
    BuildPackage(f, Document(static_cast<size_t>(state.range(0))), path);
    ::_exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) {
    state.SkipWithError("building the package failed");
    return;
  }
  try {
    ReadPackage(path, verify);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
    return;
  }
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadPackage(path, verify));
  }
  Report(state, RUSAGE_SELF, cpu);
}

// Open, Decrypt, CheckSignEx.
void BM_PackageRead(benchmark::State& state) {
  Read(state, true);
}
// Open and Decrypt alone.
void BM_PackageOpenDecrypt(benchmark::State& state) {
  Read(state, false);
}

// The crypto work of a build and a read alone, on the same document: sign, envelope, open the
// envelope, verify the signature (without chains). What the package costs beyond this is the
// packaging's own.
void BM_CryptoAlone(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const Fixture& f = TheFixture();
  const std::string content = Document(static_cast<size_t>(state.range(0)));
  const lyr::crypt::CTdx880CryptoTool tool;
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    const std::string signature = tool.Sign(true, content, f.key.Sha1());
    const std::string envelope = tool.EncryptByCertificate(content, f.key.CertificateBody());
    const std::string opened = tool.Decrypt(true, envelope);
    lyr::rtl::CStrArray signers;
    tool.CheckSignEx(true, opened, false, false, &signers, signature);
  }
  Report(state, RUSAGE_SELF, cpu);
}

// The peer's package: a detached signature, the document zipped and enveloped, both zipped.
const char kPeerBuild[] =
    "openssl cms -sign -binary -outform DER -in doc.xml -signer cert.pem -inkey key.pem "
    "-out sig.bin && rm -f inner.zip && zip -q -6 inner.zip doc.xml && "
    "openssl cms -encrypt -gost89 -binary -outform DER -in inner.zip -out env.bin cert.pem && "
    "rm -f peer.zip && zip -q -6 peer.zip env.bin sig.bin";
const char kPeerRead[] =
    "rm -rf r && mkdir r && cd r && unzip -q ../peer.zip && "
    "openssl cms -decrypt -binary -inform DER -in env.bin -recip ../cert.pem -inkey ../key.pem "
    "-out inner.zip && unzip -q inner.zip && "
    "openssl cms -verify -binary -inform DER -in sig.bin -content doc.xml -CAfile ../cert.pem "
    "-out /dev/null 2>/dev/null";

void BM_PeerBuild(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "doc.xml", Document(static_cast<size_t>(state.range(0))));
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    f.Shell(kPeerBuild);
  }
  Report(state, RUSAGE_CHILDREN, cpu);
}

void BM_PeerRead(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "doc.xml", Document(static_cast<size_t>(state.range(0))));
  f.Shell(kPeerBuild);
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    f.Shell(kPeerRead);
  }
  Report(state, RUSAGE_CHILDREN, cpu);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(10 * 1024)->Arg(1024 * 1024)->Arg(100 * 1024 * 1024);
  benchmark->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
}

BENCHMARK(BM_PackageBuild)->Apply(Sizes);
BENCHMARK(BM_PackageRead)->Apply(Sizes);
BENCHMARK(BM_PackageOpenDecrypt)->Apply(Sizes);
BENCHMARK(BM_CryptoAlone)->Apply(Sizes);
BENCHMARK(BM_PeerBuild)->Apply(Sizes);
BENCHMARK(BM_PeerRead)->Apply(Sizes);

}  // namespace
