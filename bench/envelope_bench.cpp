// Envelope throughput: encrypting and decrypting 10 KB, 1 MB and 100 MB for one GOST R 34.10-2001
// recipient in-process, against the openssl cms command line with the GOST engine on the same
// data; and 100 MB through each content cipher for a GOST R 34.10-2012 256-bit recipient. The
// keys and certificates are made once with the openssl command line.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/envelope.h"

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

// A folder with an engine configuration, a key and a self-signed certificate, and the inputs.
struct Fixture {
  fs::path folder;
  std::string prefix;  // shell prefix running openssl with the engine in the folder
  lyr::crypt::Certificate certificate;
  lyr::crypt::PrivateKey key;
  lyr::crypt::Certificate certificate2012;
  lyr::crypt::PrivateKey key2012;

  static fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "lyr-bench-XXXXXX").string();
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
    const std::string prefix = "cd '" + folder.string() + "' && OPENSSL_CONF=openssl.cnf ";
    if (std::system((prefix + "openssl req -x509 -newkey gost2001 -pkeyopt paramset:XA -nodes "
                              "-keyout key.pem -subj /CN=Bench -days 2 -out cert.pem 2>/dev/null")
                        .c_str()) != 0) {
      throw std::runtime_error("openssl req");
    }
    if (std::system((prefix + "openssl req -x509 -newkey gost2012_256 -pkeyopt paramset:A -nodes "
                              "-keyout key2012.pem -subj /CN=Bench -days 2 -out cert2012.pem "
                              "2>/dev/null")
                        .c_str()) != 0) {
      throw std::runtime_error("openssl req");
    }
    return folder;
  }

  explicit Fixture(const fs::path& f)
      : folder(f),
        prefix("cd '" + f.string() + "' && OPENSSL_CONF=openssl.cnf "),
        certificate(lyr::crypt::Certificate::FromPem(ReadFile(f / "cert.pem"))),
        key(lyr::crypt::PrivateKey::FromPem(ReadFile(f / "key.pem"), std::nullopt)),
        certificate2012(lyr::crypt::Certificate::FromPem(ReadFile(f / "cert2012.pem"))),
        key2012(lyr::crypt::PrivateKey::FromPem(ReadFile(f / "key2012.pem"), std::nullopt)) {}

  Fixture() : Fixture(MakeFolder()) {}
  ~Fixture() { fs::remove_all(folder); }

  std::string Content(size_t size) const {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) {
      content[i] = static_cast<char>(i * 7 + (i >> 10));
    }
    return content;
  }

  void OpenSsl(const std::string& arguments) const {
    if (std::system((prefix + "openssl " + arguments + " 2>/dev/null").c_str()) != 0) {
      throw std::runtime_error("openssl " + arguments);
    }
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

void BM_EncryptEnvelope(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const std::string content = TheFixture().Content(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(lyr::crypt::EncryptEnvelope(TheFixture().certificate, content));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DecryptEnvelope(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const std::string envelope = lyr::crypt::EncryptEnvelope(
      TheFixture().certificate, TheFixture().Content(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        lyr::crypt::DecryptEnvelope(envelope, TheFixture().certificate, TheFixture().key));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslCmsEncrypt(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "plain.bin", f.Content(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    f.OpenSsl("cms -encrypt -gost89 -binary -outform DER -in plain.bin -out env.der cert.pem");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslCmsDecrypt(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "plain.bin", f.Content(static_cast<size_t>(state.range(0))));
  f.OpenSsl("cms -encrypt -gost89 -binary -outform DER -in plain.bin -out env.der cert.pem");
  for (auto _ : state) {
    f.OpenSsl(
        "cms -decrypt -binary -inform DER -in env.der -recip cert.pem -inkey key.pem "
        "-out out.bin");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Each content cipher (range(1): the ContentCipher in order, 0 = GOST 28147-89) at range(0) bytes.
lyr::crypt::ContentCipher CipherOf(const benchmark::State& state) {
  return static_cast<lyr::crypt::ContentCipher>(state.range(1));
}

void BM_EncryptCipher(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const std::string content = TheFixture().Content(static_cast<size_t>(state.range(0)));
  state.SetLabel(std::string(lyr::crypt::ContentCipherName(CipherOf(state))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        lyr::crypt::EncryptEnvelope(TheFixture().certificate2012, content, CipherOf(state)));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DecryptCipher(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const std::string envelope = lyr::crypt::EncryptEnvelope(
      TheFixture().certificate2012, TheFixture().Content(static_cast<size_t>(state.range(0))),
      CipherOf(state));
  state.SetLabel(std::string(lyr::crypt::ContentCipherName(CipherOf(state))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        lyr::crypt::DecryptEnvelope(envelope, TheFixture().certificate2012, TheFixture().key2012));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Ciphers(benchmark::internal::Benchmark* benchmark) {
  for (int64_t cipher = 0; cipher < 5; ++cipher) {
    benchmark->Args({100 * 1024 * 1024, cipher});
  }
  benchmark->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(10 * 1024)->Arg(1024 * 1024)->Arg(100 * 1024 * 1024);
  benchmark->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
}

BENCHMARK(BM_EncryptEnvelope)->Apply(Sizes);
BENCHMARK(BM_DecryptEnvelope)->Apply(Sizes);
BENCHMARK(BM_OpenSslCmsEncrypt)->Apply(Sizes);
BENCHMARK(BM_OpenSslCmsDecrypt)->Apply(Sizes);
BENCHMARK(BM_EncryptCipher)->Apply(Ciphers);
BENCHMARK(BM_DecryptCipher)->Apply(Ciphers);

}  // namespace
