// The chain-test PKI: made by the PKI builder, written to a folder, served by a loopback server.
#include "crypt/support/chain_scenario.h"

#include <ctime>
#include <fstream>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "http/loopback_server.h"

namespace lyr::test {
namespace {

using crypt::CertificateSpec;
using crypt::ExtensionMode;

constexpr int64_t kDay = ChainScenario::kDay;

struct Shape {
  std::string cn;
  std::string serial;
  std::vector<std::string> ca_issuers;
  std::vector<std::string> ocsp;
  std::vector<std::string> crls;
};

CertificateSpec SpecOf(const Shape& shape, int64_t not_before, int64_t not_after) {
  CertificateSpec fields;
  fields.serial_hex = shape.serial;
  fields.subject = crypt::ParseDistinguishedName("CN=" + shape.cn + ",O=Lyr Test");
  fields.not_before = not_before;
  fields.not_after = not_after;
  fields.ca_issuers_urls = shape.ca_issuers;
  fields.ocsp_urls = shape.ocsp;
  fields.crl_urls = shape.crls;
  return fields;
}

ScenarioParty MakeRoot(int64_t now) {
  CertificateSpec fields =
      SpecOf({"Scenario Root CA", "01", {}, {}, {}}, now - 730 * kDay, now + 3650 * kDay);
  fields.ca = true;
  fields.key_usage = crypt::key_usage::kCa;
  const crypt::PrivateKey key = crypt::PrivateKey::Generate(crypt::GostParamSet::kXA);
  return {key, crypt::IssueSelfSigned(fields, key)};
}

ScenarioParty MakeInter(int64_t now, const ScenarioParty& root, const Shape& shape) {
  CertificateSpec fields = SpecOf(shape, now - 365 * kDay, now + 1825 * kDay);
  fields.ca = true;
  fields.key_usage = crypt::key_usage::kCa;
  const crypt::PrivateKey key = crypt::PrivateKey::Generate(crypt::GostParamSet::kA);
  return {key, crypt::IssueCertificate(fields, key, root.certificate, root.key)};
}

ScenarioParty MakeEndEntity(int64_t now, const ScenarioParty& issuer, const Shape& shape) {
  CertificateSpec fields = SpecOf(shape, now - 180 * kDay, now + 365 * kDay);
  fields.basic_constraints = ExtensionMode::kNonCritical;
  fields.key_usage = crypt::key_usage::kEndEntity;
  const crypt::PrivateKey key = crypt::PrivateKey::Generate(crypt::GostParamSet::kXA);
  return {key, crypt::IssueCertificate(fields, key, issuer.certificate, issuer.key)};
}

crypt::Crl MakeCrl(const ScenarioParty& issuer, int64_t this_update, int64_t next_update,
                   std::vector<crypt::CrlSpec::Entry> revoked) {
  crypt::CrlSpec fields;
  fields.this_update = this_update;
  fields.next_update = next_update;
  fields.revoked = std::move(revoked);
  return crypt::IssueCrl(fields, issuer.certificate, issuer.key);
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

// The path of a request line "GET /path HTTP/1.1", without the leading "/".
std::string RequestPath(const std::string& request) {
  const size_t start = request.find(' ');
  const size_t end = request.find(' ', start + 1);
  if (start == std::string::npos || end == std::string::npos || request[start + 1] != '/') {
    return {};
  }
  return request.substr(start + 2, end - start - 2);
}

}  // namespace

ChainScenario::ChainScenario(std::filesystem::path folder_path)
    : server_(std::make_unique<LoopbackServer>(
          [this](int socket, const std::string& request) { Answer(socket, request); })),
      dead_authority_("127.0.0.1:" + std::to_string(ClosedPort())),
      now(static_cast<int64_t>(std::time(nullptr))),
      folder(std::move(folder_path)),
      revocation_date(now - 10 * kDay),
      root(MakeRoot(now)),
      inter(MakeInter(now, root,
                      {"Scenario Inter CA", "0102", {Url("root.cer")}, {}, {Url("root.crl")}})),
      user(MakeEndEntity(
          now, inter, {"Scenario User", "00A1B2C3", {Url("inter.cer")}, {}, {Url("inter.crl")}})),
      direct(MakeEndEntity(
          now, root, {"Scenario Direct User", "0D", {Url("root.cer")}, {}, {Url("root.crl")}})),
      revoked(MakeEndEntity(
          now, inter, {"Scenario Revoked User", "0E", {Url("inter.cer")}, {}, {Url("inter.crl")}})),
      ocsp_only(MakeEndEntity(now, inter,
                              {"Scenario OCSP User", "0F", {}, {Url("ocsp")}, {Url("inter.crl")}})),
      unreachable(MakeEndEntity(
          now, inter,
          {"Scenario Unreachable User", "10", {DeadUrl("inter.cer")}, {}, {DeadUrl("inter.crl")}})),
      bare(MakeEndEntity(now, inter, {"Scenario Bare User", "11", {}, {}, {}})),
      mixed(MakeEndEntity(now, inter,
                          {"Scenario Mixed User",
                           "12",
                           {Url("inter.cer"), "ldap://ldap.example/cn=Scenario%20Inter%20CA"},
                           {},
                           {DeadUrl("inter.crl"), "ldap://ldap.example/cn=Scenario%20Inter%20CA",
                            "HTTP://127.0.0.1/INTER.CRL", Url("inter.crl")}})),
      root_crl(MakeCrl(root, now - kDay, now + 30 * kDay, {})),
      inter_crl(MakeCrl(inter, now - kDay, now + 30 * kDay,
                        {{"7777", now - 100 * kDay}, {"0E", revocation_date}})),
      inter_stale_crl(MakeCrl(inter, now - 60 * kDay, now - 30 * kDay,
                              {{"7777", now - 100 * kDay}, {"0E", revocation_date}})) {
  WriteFiles();
  Serve("root.cer", root.certificate.Der());
  Serve("inter.cer", inter.certificate.Der());
  Serve("root.crl", root_crl.Der());
  Serve("inter.crl", inter_crl.Der());
}

ChainScenario::~ChainScenario() = default;

std::string ChainScenario::Url(std::string_view path) const {
  return server_->Url(path);
}

std::string ChainScenario::DeadUrl(std::string_view path) const {
  return "http://" + dead_authority_ + "/" + std::string(path);
}

void ChainScenario::Serve(const std::string& path, std::string bytes) {
  const std::lock_guard guard(lock_);
  served_[path] = std::move(bytes);
}

void ChainScenario::Unserve(const std::string& path) {
  const std::lock_guard guard(lock_);
  served_.erase(path);
}

std::vector<std::string> ChainScenario::RequestedPaths() const {
  std::vector<std::string> paths;
  for (const std::string& request : server_->Requests()) {
    paths.push_back("/" + RequestPath(request));
  }
  return paths;
}

void ChainScenario::Answer(int socket, const std::string& request) {
  std::string response;
  {
    const std::lock_guard guard(lock_);
    const auto found = served_.find(RequestPath(request));
    response = found != served_.end()
                   ? LoopbackServer::Response(200, "OK", found->second,
                                              "Content-Type: application/octet-stream\r\n")
                   : LoopbackServer::Response(404, "Not Found", "not here");
  }
  LoopbackServer::Send(socket, response);
}

void ChainScenario::WriteFiles() const {
  std::filesystem::create_directories(folder);
  const std::pair<const char*, const ScenarioParty*> parties[] = {{"root", &root},
                                                                  {"inter", &inter},
                                                                  {"user", &user},
                                                                  {"direct", &direct},
                                                                  {"revoked", &revoked},
                                                                  {"ocsp-only", &ocsp_only},
                                                                  {"unreachable", &unreachable},
                                                                  {"bare", &bare},
                                                                  {"mixed", &mixed}};
  for (const auto& [name, party] : parties) {
    const std::string base = name;
    WriteBytes(folder / (base + ".cer"), party->certificate.Der());
    WriteBytes(folder / (base + ".pem"), crypt::CertificateToPem(party->certificate));
    WriteBytes(folder / (base + ".key"), party->key.ToPkcs8Pem());
  }
  WriteBytes(folder / "root.crl", root_crl.Der());
  WriteBytes(folder / "inter.crl", inter_crl.Der());
  WriteBytes(folder / "inter-stale.crl", inter_stale_crl.Der());
}

void ChainScenario::TrustRoot(crypt::StoreLocation location) const {
  crypt::CertStore::OpenSystem(location, "ROOT")
      .Add(root.certificate, crypt::AddDisposition::kReplaceExisting);
}

void ChainScenario::AddIntermediateToCa(crypt::StoreLocation location) const {
  crypt::CertStore::OpenSystem(location, "CA")
      .Add(inter.certificate, crypt::AddDisposition::kReplaceExisting);
}

void ChainScenario::AddCrlToCa(const crypt::Crl& crl, crypt::StoreLocation location) const {
  crypt::CertStore::OpenSystem(location, "CA").AddCrl(crl, crypt::AddDisposition::kReplaceExisting);
}

crypt::Certificate ChainScenario::InstallSigner(const ScenarioParty& party,
                                                const std::string& container,
                                                crypt::StoreLocation location) const {
  crypt::KeyContainer::Create(location, container, party.key).SetCertificate(party.certificate);
  crypt::Certificate bound = party.certificate;
  // CRYPT_MACHINE_KEYSET (0x20) in the binding names a container of the local machine.
  const uint32_t flags = location == crypt::StoreLocation::kLocalMachine ? 0x21 : 0x01;
  bound.SetKeyProv(crypt::KeyProvInfo{container, "", 75, flags, 1});
  return crypt::CertStore::OpenSystem(location, "MY")
      .Add(bound, crypt::AddDisposition::kReplaceExisting);
}

}  // namespace lyr::test
