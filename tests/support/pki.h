// The test PKI, made in process by the library's PKI builder (GOST R 34.10-2001 keys, GOST R
// 34.11-94 signatures), in two forms:
// - SharedPki(): one fixed PKI per test process, also written as PEM files to a private folder
//   (removed at exit) for the openssl command line when openssl is the peer a test checks;
// - ChainScenario: a PKI of every shape the chain builder meets, made per test relative to now,
//   with its CA certificates and CRLs served over HTTP by a loopback server.
// PkiSandbox is a sandbox home with helpers that put parties into its stores and containers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/private_key.h"
#include "crypt/platform/store_location.h"
#include "support/sandbox.h"

namespace lyr::test {

class LoopbackServer;

inline constexpr int64_t kDay = 86400;

// A certificate with its key.
struct PkiParty {
  crypt::PrivateKey key;
  crypt::Certificate certificate;
};

struct TestPki {
  std::filesystem::path folder;
  // root "CN=Test Root CA,O=Lyr": self-signed, critical CA, paramset XA, serial 01.
  // inter "CN=Test Inter CA": issued by root, critical CA, four CRL distribution points (http,
  //   ldap, upper-case HTTP, https), caIssuers and OCSP access, paramset A, serial 0102.
  // user "CN=Test User,O=Lyr": issued by inter, non-critical CA:FALSE, one CRL point, caIssuers,
  //   paramset XA, serial 00A1B2C3.
  PkiParty root_party, inter_party, user_party;
  // root's CRL, revoking serial 0102 on 2025-01-01.
  crypt::Crl root_crl_object;
  // nocn "O=No Name,C=RU": self-signed (user key) without common name, non-critical CA.
  crypt::Certificate nocn_certificate;
  // The same as PEM files in folder (keys as PKCS#8 PEM), and root_crl as PEM.
  std::filesystem::path root, root_key, inter, inter_key, user, user_key, nocn, root_crl;
  // More certificates as PEM files, for the store and chain tests:
  // ocsp_only: issued by root (user key), access extension with OCSP alone;
  // user_csr: a PKCS#10 request of the user key for "CN=Test User,O=Lyr";
  // chain_root "CN=Chain Root,O=Lyr" (self-signed, root key, non-critical CA), chain_inter
  //   "CN=Chain Inter" (critical CA, inter key), chain_user "CN=Chain User" (user key);
  // plain_self: self-signed "CN=Plain Self" without basic constraints (user key);
  // inter_noncritical: "CN=Test Inter NC" issued by root, non-critical CA (inter key);
  // critical_not_ca: "CN=Test User,O=Lyr" issued by root, critical CA:FALSE (user key).
  std::filesystem::path ocsp_only, user_csr, chain_root, chain_inter, chain_user, plain_self,
      inter_noncritical, critical_not_ca;
};

// The process-wide test PKI (made on first use).
const TestPki& SharedPki();

// An OpenSSL configuration that loads the GOST engine, for the openssl command line.
std::string OpenSslConfigPath();
// Runs "openssl <arguments>" in the PKI folder with the GOST engine; returns the exit status and
// collects standard output. The PKI's files are there once SharedPki() was used.
int RunOpenSsl(const std::string& arguments, std::string* output = nullptr);

std::string FileBytes(const std::filesystem::path& path);
// The DER of the first PEM block of a file.
std::string PemFileToDer(const std::filesystem::path& path);
// The certificate or key of a PEM file.
crypt::Certificate CertificateOf(const std::filesystem::path& pem);
crypt::PrivateKey KeyOf(const std::filesystem::path& pem);
// The shared GOST vectors folder, or empty when this machine has none.
std::filesystem::path GostVectorsFolder();

// Store set-ups (the stores of the sandbox's locations).
void AddToStore(const crypt::Certificate& certificate, const std::string& store,
                crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);
void AddCrlToStore(const crypt::Crl& crl, const std::string& store = "CA",
                   crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);
// Puts party's key into a new key container and its certificate, bound to that container, into
// "MY" (CRYPT_MACHINE_KEYSET in the binding at the local machine); returns the bound certificate.
crypt::Certificate InstallSigner(
    const PkiParty& party, const std::string& container,
    crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser);

// Times are seconds since the Unix epoch, relative to the moment the scenario was made (`now`).
class ChainScenario final {
  // The server comes first: the certificates made after it carry its URLs.
  mutable std::mutex lock_;
  std::map<std::string, std::string> served_;
  std::unique_ptr<LoopbackServer> server_;
  std::string dead_authority_;

 public:
  static constexpr int64_t kDay = test::kDay;

  // Starts the server, makes the PKI and writes "<name>.cer", "<name>.pem", "<name>.key" of every
  // party and "root.crl", "inter.crl", "inter-stale.crl" into folder. The server answers GET
  // /<file> with the bytes of a served file, 404 otherwise; it serves "root.cer", "inter.cer",
  // "root.crl" and "inter.crl" from the start.
  explicit ChainScenario(std::filesystem::path folder);
  ~ChainScenario();
  ChainScenario(const ChainScenario&) = delete;
  ChainScenario& operator=(const ChainScenario&) = delete;

  const int64_t now;
  const std::filesystem::path folder;
  const int64_t revocation_date;

  // "Scenario Root CA": self-signed, serial 01, critical CA, valid now-2y..now+10y.
  PkiParty root;
  // "Scenario Inter CA": issued by root, serial 0102, caIssuers <server>/root.cer, CRL point
  // <server>/root.crl, valid now-1y..now+5y.
  PkiParty inter;
  // End entities, valid now-180d..now+1y, non-critical CA:FALSE:
  // user "Scenario User" (00A1B2C3) by inter, caIssuers <server>/inter.cer, CRL <server>/inter.crl;
  // direct "Scenario Direct User" (0D) by root, with root's addresses;
  // revoked "Scenario Revoked User" (0E) as user, revoked by inter's CRLs at revocation_date;
  // ocsp_only (0F) as user, but its access extension holds only <server>/ocsp;
  // unreachable (10) as user with addresses on a port where nothing listens;
  // bare (11) by inter without access or CRL extensions;
  // mixed (12) by inter: caIssuers <server>/inter.cer then LDAP; CRL points: a dead URL, LDAP,
  //   upper-case "HTTP://", <server>/inter.crl.
  PkiParty user, direct, revoked, ocsp_only, unreachable, bare, mixed;

  // root's CRL (empty), inter's CRL (revokes 0E at revocation_date and 7777 at now-100d), both
  // now-1d..now+30d; inter_stale_crl: the same entries, now-60d..now-30d.
  crypt::Crl root_crl;
  crypt::Crl inter_crl;
  crypt::Crl inter_stale_crl;

  [[nodiscard]] std::string Url(std::string_view path) const;
  [[nodiscard]] std::string DeadUrl(std::string_view path) const;
  void Serve(const std::string& path, std::string bytes);
  void Unserve(const std::string& path);
  // The paths requested so far ("/inter.cer" ...), in order.
  [[nodiscard]] std::vector<std::string> RequestedPaths() const;

  void TrustRoot(crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  void AddIntermediateToCa(
      crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;

 private:
  void Answer(int socket, const std::string& request);
};

// A sandbox home for crypto tests.
class PkiSandbox : public Sandbox {
 protected:
  void TearDown() override;

  // "openssl <arguments>" with the GOST engine in the sandbox folder; output gets standard output
  // and standard error.
  int OpenSsl(const std::string& arguments, std::string* output = nullptr) const;
  // openssl cms accepts signature (DER) over content, without checking the chain.
  bool OpenSslVerifies(const std::string& content, const std::string& signature) const;
  // Makes the GOST engine unloadable for processes started from now on (LYR_TDX_GOST_ENGINE names
  // a missing file; undone at TearDown).
  void HideEngine() const;
};

// Deterministic bytes of a size.
std::string Content(size_t size, unsigned seed = 7);

}  // namespace lyr::test
