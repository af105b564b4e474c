// The test PKI, made by the PKI builder; the chain scenario's loopback server.
#include "support/pki.h"

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

using crypt::ExtensionMode;
using crypt::GostParamSet;
using crypt::PrivateKey;
using Urls = std::vector<std::string>;

std::filesystem::path WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << bytes)) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

struct Shape {
  std::string subject, serial;
  int64_t not_before = 0, not_after = 0;
  bool ca = false;
  ExtensionMode constraints = ExtensionMode::kNonCritical;
  Urls ca_issuers = {}, ocsp = {}, crls = {};
};

crypt::CertificateSpec SpecOf(const Shape& shape) {
  crypt::CertificateSpec fields;
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

// A certificate of shape for key, issued by issuer or self-signed.
crypt::Certificate Issue(const Shape& shape, const PrivateKey& key,
                         const PkiParty* issuer = nullptr) {
  return issuer ? crypt::IssueCertificate(SpecOf(shape), key, issuer->certificate, issuer->key)
                : crypt::IssueSelfSigned(SpecOf(shape), key);
}

PkiParty Party(const Shape& shape, const PkiParty* issuer = nullptr,
               GostParamSet param_set = GostParamSet::kXA) {
  const PrivateKey key = PrivateKey::Generate(param_set);
  return {key, Issue(shape, key, issuer)};
}

crypt::Crl CrlOf(const PkiParty& issuer, int64_t this_update, int64_t next_update,
                 std::vector<crypt::CrlSpec::Entry> revoked) {
  crypt::CrlSpec fields;
  fields.this_update = this_update;
  fields.next_update = next_update;
  fields.revoked = std::move(revoked);
  return crypt::IssueCrl(fields, issuer.certificate, issuer.key);
}

std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

// The private folder of the PEM files and the OpenSSL configuration, made on first use (not in
// TMP, which a sandbox points into its home) and removed at exit. The PKI itself is made only when
// a test asks for it: a host test must not bind the engine into the process first.
struct PkiFolder {
  std::filesystem::path folder;
  std::string config;

  PkiFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lyr-pki-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create the PKI folder");
    }
    folder = pattern;
    config = WriteBytes(folder / "openssl.cnf",
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
  const int64_t now = std::time(nullptr), month = now + 30 * kDay;
  const std::string local = "http://127.0.0.1:8080/";
  const PkiParty root = Party(
      {"CN=Test Root CA,O=Lyr", "01", now, now + 3650 * kDay, true, ExtensionMode::kCritical});
  const PkiParty inter =
      Party({"CN=Test Inter CA", "0102", now, now + 1825 * kDay, true, ExtensionMode::kCritical,
             Urls{local + "root.cer"}, Urls{local + "ocsp"},
             Urls{local + "root.crl", "ldap://ldap.example/cn=root", "HTTP://EXAMPLE.COM/x.crl",
                  "https://127.0.0.1/root2.crl"}},
            &root, GostParamSet::kA);
  const PkiParty user = Party(
      {"CN=Test User,O=Lyr", "00A1B2C3", now, now + 365 * kDay, false, ExtensionMode::kNonCritical,
       Urls{local + "inter.cer"}, Urls{}, Urls{local + "inter.crl"}},
      &inter);
  const PkiParty chain_root{
      root.key, Issue({"CN=Chain Root,O=Lyr", "15", now, now + 3650 * kDay, true}, root.key)};
  const PkiParty chain_inter{inter.key, Issue({"CN=Chain Inter", "16", now, now + 1825 * kDay, true,
                                               ExtensionMode::kCritical},
                                              inter.key, &chain_root)};
  const crypt::Crl crl = CrlOf(root, now, month, {{"0102", 1735689600}});  // 2025-01-01
  crypt::CertificateSpec plain = SpecOf({"CN=Plain Self", "18", now, month});
  plain.basic_constraints = ExtensionMode::kAbsent;
  const std::filesystem::path folder = Folder().folder;
  const auto pem = [&](const char* name, const crypt::Certificate& certificate) {
    return WriteBytes(folder / name, crypt::CertificateToPem(certificate));
  };
  return TestPki{
      root,
      inter,
      user,
      crl,
      pem("root.pem", root.certificate),
      WriteBytes(folder / "root.key", root.key.ToPkcs8Pem()),
      pem("inter.pem", inter.certificate),
      WriteBytes(folder / "inter.key", inter.key.ToPkcs8Pem()),
      pem("user.pem", user.certificate),
      WriteBytes(folder / "user.key", user.key.ToPkcs8Pem()),
      pem("nocn.pem", Issue({"O=No Name,C=RU", "07", now, month, true}, user.key)),
      WriteBytes(folder / "root.crl", crypt::CrlToPem(crl)),
      pem("ocsp.pem", Issue({"CN=Test User,O=Lyr", "09", now, month, false,
                             ExtensionMode::kNonCritical, Urls{}, Urls{local + "ocsp"}},
                            user.key, &root)),
      WriteBytes(folder / "user.csr",
                 crypt::MakeCertificateRequestPem(user.certificate.Subject(), user.key)),
      pem("chain_root.pem", chain_root.certificate),
      pem("chain_inter.pem", chain_inter.certificate),
      pem("chain_user.pem",
          Issue({"CN=Chain User", "17", now, now + 365 * kDay}, user.key, &chain_inter)),
      pem("plain_self.pem", crypt::IssueSelfSigned(plain, user.key)),
      pem("inter_nc.pem", Issue({"CN=Test Inter NC", "19", now, month, true}, inter.key, &root))};
}

// An end entity of the chain scenario.
PkiParty EndEntity(int64_t now, const char* cn, const char* serial, const PkiParty& issuer,
                   Urls ca_issuers, Urls ocsp, Urls crls) {
  return Party(
      {std::string("CN=") + cn + ",O=Lyr Test", serial, now - 180 * kDay, now + 365 * kDay, false,
       ExtensionMode::kNonCritical, std::move(ca_issuers), std::move(ocsp), std::move(crls)},
      &issuer);
}

// The path of a request line "GET /path HTTP/1.1", without the leading "/".
std::string RequestPath(const std::string& request) {
  const size_t slash = request.find(" /");
  if (slash == std::string::npos) {
    return {};
  }
  return request.substr(slash + 2, request.find(' ', slash + 2) - slash - 2);
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

std::string PemFileToDer(const std::filesystem::path& path) {
  const std::string pem = ReadAll(path);
  const size_t body = pem.find('\n', pem.find("-----BEGIN")) + 1;
  return rtl::DecodeBase64(std::string_view(pem).substr(body, pem.find("-----END", body) - body));
}

crypt::Certificate CertificateOf(const std::filesystem::path& pem) {
  return crypt::Certificate::FromDer(PemFileToDer(pem));
}

crypt::PrivateKey KeyOf(const std::filesystem::path& pem) {
  return PrivateKey::FromPem(ReadAll(pem), std::nullopt);
}

std::filesystem::path GostVectorsFolder() {
  const std::filesystem::path folder = std::filesystem::path(LYR_SHARED_TESTDATA) / "gost-vectors";
  return std::filesystem::exists(folder / "README.md") ? folder : std::filesystem::path();
}

std::filesystem::path ReferenceVectorsFolder() {
  const std::filesystem::path folder =
      std::filesystem::path(LYR_SHARED_TESTDATA) / ".." / "reference" / "gost-cms-2015" / "vectors";
  return std::filesystem::exists(folder / "SHA256SUMS") ? folder : std::filesystem::path();
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

namespace {

PrivateKey Key2012() {
  return PrivateKey::Generate(crypt::GostAlgorithm::k2012_256, "");
}

PkiParty SelfSigned(crypt::CertificateSpec fields, int64_t not_before) {
  const PrivateKey key = Key2012();
  fields.not_before = not_before;
  return {key, crypt::IssueSelfSigned(fields, key)};
}

}  // namespace

VerdictPki::VerdictPki()
    : now(std::time(nullptr)),
      root(SelfSigned(FieldsOf("CN=Verdict Root CA,O=Lyr", "01", true), now - 2 * 365 * kDay)),
      inter(Issue(FieldsOf("CN=Verdict Inter CA,O=Lyr", "02", true), root)),
      signer(Issue(FieldsOf("CN=Verdict Signer,O=Lyr", "0D", false), inter)),
      revoked(Issue(FieldsOf("CN=Verdict Revoked,O=Lyr", "0E", false), inter)),
      root_crl(crypt::IssueCrl({now - kDay, now + 30 * kDay, {}, 1, true, {}}, root.certificate,
                               root.key)),
      inter_crl(crypt::IssueCrl(InterCrlSpec(), inter.certificate, inter.key)) {}

crypt::CertificateSpec VerdictPki::FieldsOf(const std::string& subject, const std::string& serial,
                                            bool ca) const {
  crypt::CertificateSpec fields;
  fields.serial_hex = serial;
  fields.subject = crypt::ParseDistinguishedName(subject);
  fields.not_before = now - 180 * kDay;
  fields.not_after = now + 365 * kDay;
  fields.ca = ca;
  fields.key_usage = ca ? crypt::key_usage::kCa
                        : crypt::key_usage::kDigitalSignature | crypt::key_usage::kNonRepudiation;
  return fields;
}

crypt::CrlSpec VerdictPki::InterCrlSpec() const {
  return {now - kDay, now + 30 * kDay, {{"0E", now - kDay}}, 1, true, {}};
}

PkiParty VerdictPki::Issue(const crypt::CertificateSpec& fields, const PkiParty& issuer) {
  const PrivateKey key = Key2012();
  return {key, crypt::IssueCertificate(fields, key, issuer.certificate, issuer.key)};
}

void VerdictPki::Trust() const {
  AddToStore(root.certificate, "ROOT");
  AddToStore(inter.certificate, "CA");
  AddCrlToStore(root_crl);
  AddCrlToStore(inter_crl);
}

ChainScenario::ChainScenario(std::filesystem::path folder_path)
    : server_(std::make_unique<LoopbackServer>([this](int socket, const std::string& request) {
        std::unique_lock guard(lock_);
        const auto found = served_.find(RequestPath(request));
        const std::string response =
            found == served_.end()
                ? LoopbackServer::Response(404, "Not Found", "not here")
                : LoopbackServer::Response(200, "OK", found->second,
                                           "Content-Type: application/octet-stream\r\n");
        guard.unlock();
        LoopbackServer::Send(socket, response);
      })),
      dead_authority_("127.0.0.1:" + std::to_string(ClosedPort())),
      now(std::time(nullptr)),
      folder(std::move(folder_path)),
      revocation_date(now - 10 * kDay),
      root(Party({"CN=Scenario Root CA,O=Lyr Test", "01", now - 730 * kDay, now + 3650 * kDay, true,
                  ExtensionMode::kCritical})),
      inter(Party(
          {"CN=Scenario Inter CA,O=Lyr Test", "0102", now - 365 * kDay, now + 1825 * kDay, true,
           ExtensionMode::kCritical, Urls{Url("root.cer")}, Urls{}, Urls{Url("root.crl")}},
          &root, GostParamSet::kA)),
      user(EndEntity(now, "Scenario User", "00A1B2C3", inter, {Url("inter.cer")}, {},
                     {Url("inter.crl")})),
      direct(EndEntity(now, "Scenario Direct User", "0D", root, {Url("root.cer")}, {},
                       {Url("root.crl")})),
      revoked(EndEntity(now, "Scenario Revoked User", "0E", inter, {Url("inter.cer")}, {},
                        {Url("inter.crl")})),
      ocsp_only(
          EndEntity(now, "Scenario OCSP User", "0F", inter, {}, {Url("ocsp")}, {Url("inter.crl")})),
      unreachable(EndEntity(now, "Scenario Unreachable User", "10", inter, {DeadUrl("inter.cer")},
                            {}, {DeadUrl("inter.crl")})),
      bare(EndEntity(now, "Scenario Bare User", "11", inter, {}, {}, {})),
      root_crl(CrlOf(root, now - kDay, now + 30 * kDay, {})),
      inter_crl(CrlOf(inter, now - kDay, now + 30 * kDay,
                      {{"7777", now - 100 * kDay}, {"0E", revocation_date}})),
      inter_stale_crl(CrlOf(inter, now - 60 * kDay, now - 30 * kDay,
                            {{"7777", now - 100 * kDay}, {"0E", revocation_date}})) {
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

std::vector<std::string> ChainScenario::RequestedPaths() const {
  std::vector<std::string> paths;
  for (const std::string& request : server_->Requests()) {
    paths.push_back("/" + RequestPath(request));
  }
  return paths;
}

void ChainScenario::TrustRoot(crypt::StoreLocation location) const {
  AddToStore(root.certificate, "ROOT", location);
}

void ChainScenario::AddIntermediateToCa(crypt::StoreLocation location) const {
  AddToStore(inter.certificate, "CA", location);
}

void ChainScenario::TrustAll() const {
  TrustRoot();
  AddIntermediateToCa();
  AddCrlToStore(root_crl);
  AddCrlToStore(inter_crl);
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
  return OpenSsl("cms -verify -binary -noverify -inform DER -in " +
                 Quote(WriteFile("openssl-signature.p7s", signature)) + " -content " +
                 Quote(WriteFile("openssl-content.bin", content)) + " -out /dev/null") == 0;
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
