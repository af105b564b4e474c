// The test PKI, made by the PKI builder; the chain scenario's loopback server.
#include "support/pki.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "http/loopback_server.h"
#include "rtl/base64.h"

namespace lyr::test {
namespace {

using crypt::CertificateSpec;
using crypt::ExtensionMode;
using crypt::GostParamSet;
using crypt::PrivateKey;

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

struct Shape {
  std::string subject;
  std::string serial;
  int64_t not_before = 0;
  int64_t not_after = 0;
  bool ca = false;
  ExtensionMode constraints = ExtensionMode::kNonCritical;
  std::vector<std::string> ca_issuers = {};
  std::vector<std::string> ocsp = {};
  std::vector<std::string> crls = {};
};

CertificateSpec SpecOf(const Shape& shape) {
  CertificateSpec fields;
  fields.serial_hex = shape.serial;
  fields.subject = crypt::ParseDistinguishedName(shape.subject);
  fields.not_before = shape.not_before;
  fields.not_after = shape.not_after;
  fields.ca = shape.ca;
  fields.basic_constraints = shape.constraints;
  fields.key_usage = shape.ca ? crypt::key_usage::kCa : crypt::key_usage::kEndEntity;
  fields.ca_issuers_urls = shape.ca_issuers;
  fields.ocsp_urls = shape.ocsp;
  fields.crl_urls = shape.crls;
  return fields;
}

PkiParty SelfSigned(const Shape& shape, GostParamSet param_set = GostParamSet::kXA) {
  const PrivateKey key = PrivateKey::Generate(param_set);
  return {key, crypt::IssueSelfSigned(SpecOf(shape), key)};
}

PkiParty Issued(const Shape& shape, const PkiParty& issuer,
                GostParamSet param_set = GostParamSet::kXA) {
  const PrivateKey key = PrivateKey::Generate(param_set);
  return {key, crypt::IssueCertificate(SpecOf(shape), key, issuer.certificate, issuer.key)};
}

crypt::Crl CrlOf(const PkiParty& issuer, int64_t this_update, int64_t next_update,
                 std::vector<crypt::CrlSpec::Entry> revoked) {
  crypt::CrlSpec fields;
  fields.this_update = this_update;
  fields.next_update = next_update;
  fields.revoked = std::move(revoked);
  return crypt::IssueCrl(fields, issuer.certificate, issuer.key);
}

int64_t Now() {
  return static_cast<int64_t>(std::time(nullptr));
}

std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

// The shared PKI in a private folder removed when the process ends.
// The private folder of the PEM files and the OpenSSL configuration, made on first use and
// removed when the process ends. The PKI itself is made only when a test asks for it: a host test
// that drives the library as a shared object must not bind the engine into the process first.
struct PkiFolder {
  std::filesystem::path folder;
  std::string config;

  PkiFolder() {
    // Not in TMP: a sandbox points TMP into its home, which goes when its test ends.
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lyr-pki-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create the PKI folder");
    }
    folder = pattern;
    config = (folder / "openssl.cnf").string();
    WriteBytes(config,
               "openssl_conf = openssl_def\n[openssl_def]\nengines = engines\n"
               "[engines]\ngost = gost\n[gost]\nengine_id = gost\ndynamic_path = " +
                   crypt::GostEngineFile() + "\ndefault_algorithms = ALL\n");
  }
  ~PkiFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  PkiFolder(const PkiFolder&) = delete;
  PkiFolder& operator=(const PkiFolder&) = delete;
};

const PkiFolder& Folder() {
  static const PkiFolder folder;
  return folder;
}

TestPki MakeSharedPki() {
  const std::filesystem::path folder = Folder().folder;
  const int64_t now = Now();
  const std::string local = "http://127.0.0.1:8080/";
  PkiParty root = SelfSigned(
      {"CN=Test Root CA,O=Lyr", "01", now, now + 3650 * kDay, true, ExtensionMode::kCritical});
  PkiParty inter = Issued({"CN=Test Inter CA",
                           "0102",
                           now,
                           now + 1825 * kDay,
                           true,
                           ExtensionMode::kCritical,
                           {local + "root.cer"},
                           {local + "ocsp"},
                           {local + "root.crl", "ldap://ldap.example/cn=root",
                            "HTTP://EXAMPLE.COM/x.crl", "https://127.0.0.1/root2.crl"}},
                          root, GostParamSet::kA);
  PkiParty user = Issued({"CN=Test User,O=Lyr",
                          "00A1B2C3",
                          now,
                          now + 365 * kDay,
                          false,
                          ExtensionMode::kNonCritical,
                          {local + "inter.cer"},
                          {},
                          {local + "inter.crl"}},
                         inter);
  crypt::Certificate nocn = crypt::IssueSelfSigned(
      SpecOf({"O=No Name,C=RU", "07", now, now + 30 * kDay, true}), user.key);
  crypt::Crl crl = CrlOf(root, now, now + 30 * kDay, {{"0102", 1735689600}});  // 2025-01-01
  const auto issue = [&](Shape shape, const crypt::PrivateKey& key, const PkiParty& issuer) {
    return crypt::CertificateToPem(
        crypt::IssueCertificate(SpecOf(shape), key, issuer.certificate, issuer.key));
  };
  const auto self_signed = [&](Shape shape, const crypt::PrivateKey& key) {
    return crypt::IssueSelfSigned(SpecOf(shape), key);
  };
  const int64_t month = now + 30 * kDay;
  const std::string ocsp_only = issue({"CN=Test User,O=Lyr",
                                       "09",
                                       now,
                                       month,
                                       false,
                                       ExtensionMode::kNonCritical,
                                       {},
                                       {local + "ocsp"}},
                                      user.key, root);
  const PkiParty chain_root{
      root.key, self_signed({"CN=Chain Root,O=Lyr", "15", now, now + 3650 * kDay, true}, root.key)};
  const PkiParty chain_inter{
      inter.key, crypt::IssueCertificate(SpecOf({"CN=Chain Inter", "16", now, now + 1825 * kDay,
                                                 true, ExtensionMode::kCritical}),
                                         inter.key, chain_root.certificate, chain_root.key)};
  CertificateSpec plain = SpecOf({"CN=Plain Self", "18", now, month});
  plain.basic_constraints = ExtensionMode::kAbsent;
  const auto write = [&](const char* name, const std::string& text) {
    WriteBytes(folder / name, text);
    return folder / name;
  };
  return TestPki{
      folder,
      root,
      inter,
      user,
      crl,
      nocn,
      write("root.pem", crypt::CertificateToPem(root.certificate)),
      write("root.key", root.key.ToPkcs8Pem()),
      write("inter.pem", crypt::CertificateToPem(inter.certificate)),
      write("inter.key", inter.key.ToPkcs8Pem()),
      write("user.pem", crypt::CertificateToPem(user.certificate)),
      write("user.key", user.key.ToPkcs8Pem()),
      write("nocn.pem", crypt::CertificateToPem(nocn)),
      write("root.crl", crypt::CrlToPem(crl)),
      write("ocsp.pem", ocsp_only),
      write("user.csr", crypt::MakeCertificateRequestPem(user.certificate.Subject(), user.key)),
      write("chain_root.pem", crypt::CertificateToPem(chain_root.certificate)),
      write("chain_inter.pem", crypt::CertificateToPem(chain_inter.certificate)),
      write("chain_user.pem",
            issue({"CN=Chain User", "17", now, now + 365 * kDay}, user.key, chain_inter)),
      write("plain_self.pem", crypt::CertificateToPem(crypt::IssueSelfSigned(plain, user.key))),
      write("inter_nc.pem", issue({"CN=Test Inter NC", "19", now, month, true}, inter.key, root)),
      write("crit_not_ca.pem",
            issue({"CN=Test User,O=Lyr", "1A", now, month, false, ExtensionMode::kCritical},
                  user.key, root))};
}

// An end entity of the chain scenario, valid now-180d..now+1y.
Shape EndEntity(int64_t now, const char* cn, const char* serial,
                std::vector<std::string> ca_issuers, std::vector<std::string> ocsp,
                std::vector<std::string> crls) {
  return {std::string("CN=") + cn + ",O=Lyr Test",
          serial,
          now - 180 * kDay,
          now + 365 * kDay,
          false,
          ExtensionMode::kNonCritical,
          std::move(ca_issuers),
          std::move(ocsp),
          std::move(crls)};
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

const TestPki& SharedPki() {
  static const TestPki pki = MakeSharedPki();
  return pki;
}

std::string OpenSslConfigPath() {
  return Folder().config;
}

int RunOpenSsl(const std::string& arguments, std::string* output) {
  return RunCommand("cd " + Quote(Folder().folder) + " && unset CRYPT_PARAMS && OPENSSL_CONF=" +
                        Quote(Folder().config) + " openssl " + arguments + " 2>/dev/null",
                    output);
}

std::string FileBytes(const std::filesystem::path& path) {
  return ReadAll(path);
}

std::string PemFileToDer(const std::filesystem::path& path) {
  const std::string pem = FileBytes(path);
  const size_t body = pem.find('\n', pem.find("-----BEGIN")) + 1;
  return rtl::DecodeBase64(std::string_view(pem).substr(body, pem.find("-----END", body) - body));
}

crypt::Certificate CertificateOf(const std::filesystem::path& pem) {
  return crypt::Certificate::FromDer(PemFileToDer(pem));
}

crypt::PrivateKey KeyOf(const std::filesystem::path& pem) {
  return PrivateKey::FromPem(FileBytes(pem), std::nullopt);
}

std::filesystem::path GostVectorsFolder() {
  const std::filesystem::path folder = std::filesystem::path(LYR_SHARED_TESTDATA) / "gost-vectors";
  return std::filesystem::exists(folder / "README.md") ? folder : std::filesystem::path();
}

void AddToStore(const crypt::Certificate& certificate, const std::string& store,
                crypt::StoreLocation location) {
  crypt::CertStore::OpenSystem(location, store)
      .Add(certificate, crypt::AddDisposition::kReplaceExisting);
}

void AddCrlToStore(const crypt::Crl& crl, const std::string& store, crypt::StoreLocation location) {
  crypt::CertStore::OpenSystem(location, store)
      .AddCrl(crl, crypt::AddDisposition::kReplaceExisting);
}

crypt::Certificate InstallSigner(const PkiParty& party, const std::string& container,
                                 crypt::StoreLocation location) {
  crypt::KeyContainer::Create(location, container, party.key).SetCertificate(party.certificate);
  crypt::Certificate bound = party.certificate;
  const uint32_t flags = location == crypt::StoreLocation::kLocalMachine ? 0x21 : 0x01;
  bound.SetKeyProv(crypt::KeyProvInfo{container, "", 75, flags, 1});
  return crypt::CertStore::OpenSystem(location, "MY")
      .Add(bound, crypt::AddDisposition::kReplaceExisting);
}

ChainScenario::ChainScenario(std::filesystem::path folder_path)
    : server_(std::make_unique<LoopbackServer>(
          [this](int socket, const std::string& request) { Answer(socket, request); })),
      dead_authority_("127.0.0.1:" + std::to_string(ClosedPort())),
      now(Now()),
      folder(std::move(folder_path)),
      revocation_date(now - 10 * kDay),
      root(SelfSigned({"CN=Scenario Root CA,O=Lyr Test", "01", now - 730 * kDay, now + 3650 * kDay,
                       true, ExtensionMode::kCritical})),
      inter(Issued({"CN=Scenario Inter CA,O=Lyr Test",
                    "0102",
                    now - 365 * kDay,
                    now + 1825 * kDay,
                    true,
                    ExtensionMode::kCritical,
                    {Url("root.cer")},
                    {},
                    {Url("root.crl")}},
                   root, GostParamSet::kA)),
      user(Issued(
          EndEntity(now, "Scenario User", "00A1B2C3", {Url("inter.cer")}, {}, {Url("inter.crl")}),
          inter)),
      direct(Issued(
          EndEntity(now, "Scenario Direct User", "0D", {Url("root.cer")}, {}, {Url("root.crl")}),
          root)),
      revoked(Issued(
          EndEntity(now, "Scenario Revoked User", "0E", {Url("inter.cer")}, {}, {Url("inter.crl")}),
          inter)),
      ocsp_only(
          Issued(EndEntity(now, "Scenario OCSP User", "0F", {}, {Url("ocsp")}, {Url("inter.crl")}),
                 inter)),
      unreachable(Issued(EndEntity(now, "Scenario Unreachable User", "10", {DeadUrl("inter.cer")},
                                   {}, {DeadUrl("inter.crl")}),
                         inter)),
      bare(Issued(EndEntity(now, "Scenario Bare User", "11", {}, {}, {}), inter)),
      mixed(Issued(EndEntity(now, "Scenario Mixed User", "12",
                             {Url("inter.cer"), "ldap://ldap.example/cn=Scenario%20Inter%20CA"}, {},
                             {DeadUrl("inter.crl"), "ldap://ldap.example/cn=Scenario%20Inter%20CA",
                              "HTTP://127.0.0.1/INTER.CRL", Url("inter.crl")}),
                   inter)),
      root_crl(CrlOf(root, now - kDay, now + 30 * kDay, {})),
      inter_crl(CrlOf(inter, now - kDay, now + 30 * kDay,
                      {{"7777", now - 100 * kDay}, {"0E", revocation_date}})),
      inter_stale_crl(CrlOf(inter, now - 60 * kDay, now - 30 * kDay,
                            {{"7777", now - 100 * kDay}, {"0E", revocation_date}})) {
  std::filesystem::create_directories(folder);
  const std::pair<const char*, const PkiParty*> parties[] = {{"root", &root},
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

void ChainScenario::TrustRoot(crypt::StoreLocation location) const {
  AddToStore(root.certificate, "ROOT", location);
}

void ChainScenario::AddIntermediateToCa(crypt::StoreLocation location) const {
  AddToStore(inter.certificate, "CA", location);
}

void PkiSandbox::TearDown() {
  ::unsetenv("LYR_TDX_GOST_ENGINE");
  Sandbox::TearDown();
}

int PkiSandbox::OpenSsl(const std::string& arguments, std::string* output) const {
  return RunCommand("cd " + Quote(Home()) + " && unset CRYPT_PARAMS && OPENSSL_CONF=" +
                        Quote(OpenSslConfigPath()) + " openssl " + arguments + " 2>&1",
                    output);
}

bool PkiSandbox::OpenSslVerifies(const std::string& content, const std::string& signature) const {
  const std::string content_file = WriteFile("openssl-content.bin", content);
  const std::string signature_file = WriteFile("openssl-signature.p7s", signature);
  return OpenSsl("cms -verify -binary -noverify -inform DER -in " + Quote(signature_file) +
                 " -content " + Quote(content_file) + " -out /dev/null") == 0;
}

void PkiSandbox::HideEngine() const {
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("missing-engine.so").c_str(), 1);
}

std::string Content(size_t size, unsigned seed) {
  std::string content(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    content[i] = static_cast<char>((i * 131 + seed) ^ (i >> 8));
  }
  return content;
}

}  // namespace lyr::test
