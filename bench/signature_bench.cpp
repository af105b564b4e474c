// Signature throughput: signing and verifying (with the chain checked from the local stores) 10 KB,
// 1 MB and 100 MB in-process through CCryptoSignature, against the GOST engine's own digest and
// CMS signing in the same process and against the openssl cms command line on the same data.
// A root and a user certificate issued by it are made once with the openssl command line; the
// user's certificate and key container and the root live in a private home.
#include <benchmark/benchmark.h>
#include <openssl/cms.h>
#include <openssl/engine.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"

namespace {

namespace fs = std::filesystem;
using lyr::crypt::AddDisposition;
using lyr::crypt::Certificate;
using lyr::crypt::CertStore;
using lyr::crypt::StoreLocation;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct Fixture {
  fs::path folder;
  std::string prefix;  // shell prefix running openssl with the engine in the folder
  Certificate root;
  Certificate user;

  static fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "lyr-sign-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp");
    }
    const fs::path folder = pattern;
    WriteFile(folder / "openssl.cnf",
              "openssl_conf = d\n[d]\nengines = e\n[e]\ngost = g\n[g]\nengine_id = gost\n"
              "dynamic_path = " +
                  lyr::crypt::GostEngineFile() +
                  "\ndefault_algorithms = ALL\n"
                  "[req]\ndistinguished_name = n\n[n]\n"
                  "[ca_ext]\nbasicConstraints = critical,CA:TRUE\n"
                  "[user_ext]\nbasicConstraints = CA:FALSE\n");
    const std::string prefix = "cd '" + folder.string() + "' && OPENSSL_CONF=openssl.cnf ";
    const std::string commands =
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out root.key && "
        "openssl req -new -x509 -key root.key -subj /CN=BenchRoot -days 30 -extensions ca_ext "
        "-md_gost94 -out root.pem && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out user.key && "
        "openssl req -new -key user.key -subj /CN=BenchUser -out user.csr && "
        "openssl x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 7 -days 10 "
        "-md_gost94 -extfile openssl.cnf -extensions user_ext -out user.pem";
    if (std::system((prefix + "sh -c '" + commands + "' 2>/dev/null").c_str()) != 0) {
      throw std::runtime_error("openssl: the bench certificates");
    }
    return folder;
  }

  explicit Fixture(const fs::path& f)
      : folder(f),
        prefix("cd '" + f.string() + "' && OPENSSL_CONF=openssl.cnf "),
        root(Certificate::FromPem(ReadFile(f / "root.pem"))),
        user(Certificate::FromPem(ReadFile(f / "user.pem"))) {
    ::setenv("LYR_TDX_HOME", (f / "home").c_str(), 1);
    const lyr::crypt::PrivateKey key =
        lyr::crypt::PrivateKey::FromPem(ReadFile(f / "user.key"), std::nullopt);
    lyr::crypt::KeyContainer::Create(StoreLocation::kCurrentUser, "bench", key);
    Certificate bound = user;
    bound.SetKeyProv(lyr::crypt::KeyProvInfo{"bench", "", 75, 1, 1});
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY").Add(bound, AddDisposition::kNew);
    CertStore::OpenSystem(StoreLocation::kCurrentUser, "ROOT").Add(root, AddDisposition::kNew);
  }

  Fixture() : Fixture(MakeFolder()) {}
  ~Fixture() { fs::remove_all(folder); }

  static std::string Content(size_t size) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) {
      content[i] = static_cast<char>(i * 7 + (i >> 10));
    }
    return content;
  }

  void OpenSsl(const std::string& arguments) const {
    if (std::system((prefix + "openssl " + arguments + " >/dev/null 2>&1").c_str()) != 0) {
      throw std::runtime_error("openssl " + arguments);
    }
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// The provider and configuration of one signing or verification (verification flag 4: the chain
// is built from the local stores, nothing is downloaded).
struct Session {
  lyr::crypt::CCryptoProvider provider;
  std::unique_ptr<lyr::crypt::CCryptoSignatureConfig> config;
  Session() {
    provider.AcquireVerifyContext(lyr::crypt::kGostProviderType, false);
    config = std::make_unique<lyr::crypt::CCryptoSignatureConfig>(
        &provider, lyr::crypt::StoreLocation::kCurrentUser, lyr::crypt::verify_flags::kCheckChain,
        lyr::crypt::kIncludeSignerCertificate);
  }
  std::string Sign(const std::string& content) {
    lyr::crypt::CCryptoSignature signature;
    signature.Open(config.get());
    signature.Sign(TheFixture().user.Thumbprint(), content);
    return signature.GetSignature();
  }
  void Verify(const std::string& content, const std::string& signature) {
    lyr::crypt::CCryptoSignature verifier;
    verifier.Open(config.get());
    verifier.Verify(content, signature, 0);
  }
};

void BM_Sign(benchmark::State& state) {
  Session session;
  const std::string content = Fixture::Content(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(session.Sign(content));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["ops/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_VerifyWithChain(benchmark::State& state) {
  Session session;
  const std::string content = Fixture::Content(static_cast<size_t>(state.range(0)));
  const std::string signature = session.Sign(content);
  for (auto _ : state) {
    session.Verify(content, signature);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["ops/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

// The engine's own GOST R 34.11-94 digest over the same bytes, in one call.
void BM_EngineDigest(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  ENGINE* engine = ::ENGINE_get_digest_engine(NID_id_GostR3411_94);
  const EVP_MD* digest = ::ENGINE_get_digest(engine, NID_id_GostR3411_94);
  const std::string content = Fixture::Content(static_cast<size_t>(state.range(0)));
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    if (::EVP_Digest(content.data(), content.size(), out, &length, digest, engine) != 1) {
      state.SkipWithError("EVP_Digest");
      break;
    }
    benchmark::DoNotOptimize(out);
  }
  ::ENGINE_finish(engine);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The engine's own detached CMS signing of the same bytes with the same key, no stores.
void BM_EngineCmsSign(benchmark::State& state) {
  const lyr::crypt::CryptoRuntime runtime;
  const Fixture& f = TheFixture();
  ENGINE* engine = ::ENGINE_get_digest_engine(NID_id_GostR3411_94);
  const EVP_MD* digest = ::ENGINE_get_digest(engine, NID_id_GostR3411_94);
  const std::string cert_pem = ReadFile(f.folder / "user.pem");
  const std::string key_pem = ReadFile(f.folder / "user.key");
  BIO* cert_bio = ::BIO_new_mem_buf(cert_pem.data(), static_cast<int>(cert_pem.size()));
  BIO* key_bio = ::BIO_new_mem_buf(key_pem.data(), static_cast<int>(key_pem.size()));
  X509* cert = ::PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = ::PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
  const std::string content = Fixture::Content(static_cast<size_t>(state.range(0)));
  constexpr unsigned kFlags = CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP;
  for (auto _ : state) {
    CMS_ContentInfo* cms = ::CMS_sign(nullptr, nullptr, nullptr, nullptr, kFlags | CMS_PARTIAL);
    ::CMS_add1_signer(cms, cert, key, digest, kFlags);
    BIO* in = ::BIO_new_mem_buf(content.data(), static_cast<int>(content.size()));
    if (::CMS_final(cms, in, nullptr, kFlags) != 1) {
      state.SkipWithError("CMS_final");
    }
    unsigned char* der = nullptr;
    benchmark::DoNotOptimize(::i2d_CMS_ContentInfo(cms, &der));
    ::OPENSSL_free(der);
    ::BIO_free(in);
    ::CMS_ContentInfo_free(cms);
  }
  ::EVP_PKEY_free(key);
  ::X509_free(cert);
  ::BIO_free(key_bio);
  ::BIO_free(cert_bio);
  ::ENGINE_finish(engine);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslCmsSign(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "content.bin", Fixture::Content(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    f.OpenSsl(
        "cms -sign -binary -nosmimecap -md md_gost94 -outform DER -in content.bin -signer "
        "user.pem -inkey user.key -out content.p7s");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["ops/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_OpenSslCmsVerify(benchmark::State& state) {
  const Fixture& f = TheFixture();
  WriteFile(f.folder / "content.bin", Fixture::Content(static_cast<size_t>(state.range(0))));
  f.OpenSsl(
      "cms -sign -binary -nosmimecap -md md_gost94 -outform DER -in content.bin -signer "
      "user.pem -inkey user.key -out content.p7s");
  for (auto _ : state) {
    f.OpenSsl(
        "cms -verify -binary -inform DER -in content.p7s -content content.bin -CAfile root.pem "
        "-purpose any -out /dev/null");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["ops/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(10 * 1024)->Arg(1024 * 1024)->Arg(100 * 1024 * 1024);
  benchmark->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
}

BENCHMARK(BM_Sign)->Apply(Sizes);
BENCHMARK(BM_VerifyWithChain)->Apply(Sizes);
BENCHMARK(BM_EngineDigest)->Apply(Sizes);
BENCHMARK(BM_EngineCmsSign)->Apply(Sizes);
BENCHMARK(BM_OpenSslCmsSign)->Apply(Sizes);
BENCHMARK(BM_OpenSslCmsVerify)->Apply(Sizes);

}  // namespace
