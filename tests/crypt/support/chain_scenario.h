// A ready PKI for certificate-chain tests, made in process by the PKI builder: a root, an
// intermediate CA, end entities of every shape the chain builder meets, CRLs (current and stale),
// all written to a folder and served over HTTP by a loopback server whose URLs the certificates
// carry.
#pragma once

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

namespace lyr::test {

class LoopbackServer;

// A certificate with its key.
struct ScenarioParty {
  crypt::PrivateKey key;
  crypt::Certificate certificate;
};

// Times are seconds since the Unix epoch (UTC), all relative to the moment the scenario was made
// (`now`). Every certificate and CRL is signed with GOST R 34.11-94 / GOST R 34.10-2001.
class ChainScenario final {
  // The server comes first: the certificates made after it carry its URLs.
  mutable std::mutex lock_;
  std::map<std::string, std::string> served_;
  std::unique_ptr<LoopbackServer> server_;
  std::string dead_authority_;

 public:
  static constexpr int64_t kDay = 86400;

  // Starts the loopback server, makes the PKI and writes it into folder (created if missing):
  // "<name>.cer" (DER), "<name>.pem" and "<name>.key" (PKCS#8 PEM) for every party, and
  // "root.crl", "inter.crl", "inter-stale.crl" (DER). The server answers GET /<file> with the
  // bytes of a served file and 404 otherwise; at the start it serves "root.cer", "inter.cer",
  // "root.crl" and "inter.crl".
  explicit ChainScenario(std::filesystem::path folder);
  ~ChainScenario();
  ChainScenario(const ChainScenario&) = delete;
  ChainScenario& operator=(const ChainScenario&) = delete;

  const int64_t now;
  const std::filesystem::path folder;
  const int64_t revocation_date;

  // "Scenario Root CA": self-signed, serial 01, critical CA constraints, valid now-2y..now+10y.
  ScenarioParty root;
  // "Scenario Inter CA": issued by root, serial 0102, caIssuers <server>/root.cer, CRL point
  // <server>/root.crl, valid now-1y..now+5y.
  ScenarioParty inter;
  // The end entities, valid now-180d..now+1y, non-critical CA:FALSE constraints:
  // user "Scenario User" (serial 00A1B2C3), issued by inter, caIssuers <server>/inter.cer, CRL
  //   point <server>/inter.crl;
  ScenarioParty user;
  // direct "Scenario Direct User" (serial 0D), issued by root, caIssuers <server>/root.cer, CRL
  //   point <server>/root.crl;
  ScenarioParty direct;
  // revoked "Scenario Revoked User" (serial 0E), as user but revoked in inter's CRLs at
  //   revocation_date (now-10d);
  ScenarioParty revoked;
  // ocsp_only "Scenario OCSP User" (serial 0F), as user but its access extension holds only the
  //   OCSP address <server>/ocsp;
  ScenarioParty ocsp_only;
  // unreachable "Scenario Unreachable User" (serial 10), as user with caIssuers and CRL point on
  //   a loopback port where nothing listens;
  ScenarioParty unreachable;
  // bare "Scenario Bare User" (serial 11), issued by inter, without access or CRL extensions.
  ScenarioParty bare;
  // mixed "Scenario Mixed User" (serial 12), issued by inter; caIssuers <server>/inter.cer then
  //   an LDAP address; CRL points: a dead URL, an LDAP address, an upper-case "HTTP://" address,
  //   <server>/inter.crl.
  ScenarioParty mixed;

  // root's CRL (no entries) and inter's CRL (revokes 0E at revocation_date and 7777 at now-100d),
  // both this-update now-1d, next-update now+30d; inter_stale_crl: the same entries, this-update
  // now-60d, next-update now-30d.
  crypt::Crl root_crl;
  crypt::Crl inter_crl;
  crypt::Crl inter_stale_crl;

  // "http://127.0.0.1:<port>/" + path on the scenario's server.
  [[nodiscard]] std::string Url(std::string_view path) const;
  // A URL on a loopback port where nothing listens (the one unreachable carries).
  [[nodiscard]] std::string DeadUrl(std::string_view path) const;
  // Serves bytes at /path from now on (replacing what was there); Unserve makes /path answer 404.
  void Serve(const std::string& path, std::string bytes);
  void Unserve(const std::string& path);
  // The paths requested so far ("/inter.cer" ...), in order.
  [[nodiscard]] std::vector<std::string> RequestedPaths() const;

  // Store set-ups in the system stores of location (the test's sandbox): root into "ROOT";
  // inter into "CA"; a CRL into "CA".
  void TrustRoot(crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  void AddIntermediateToCa(
      crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  void AddCrlToCa(const crypt::Crl& crl,
                  crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;
  // Puts party's key into a new key container named container and its certificate, bound to
  // that container, into "MY"; returns the bound certificate.
  crypt::Certificate InstallSigner(
      const ScenarioParty& party, const std::string& container,
      crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) const;

 private:
  void Answer(int socket, const std::string& request);
  void WriteFiles() const;
};

}  // namespace lyr::test
