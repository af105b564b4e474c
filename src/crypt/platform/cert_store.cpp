// Certificate stores on disk, in memory and over PKCS#7.
#include "crypt/platform/cert_store.h"

#include <fcntl.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "base/folder.h"
#include "base/io.h"
#include "base/unique_fd.h"
#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/der_reader.h"
#include "crypt/platform/ossl.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/hex.h"
#include "rtl/trace.h"

namespace lyr::crypt {

struct CertStore::State {
  bool system = false;
  bool read_only = false;
  StoreLocation location = StoreLocation::kCurrentUser;
  std::string name;
  std::vector<Certificate> certificates;  // memory stores
  std::vector<Crl> crls;                  // memory stores
};

namespace {

constexpr std::string_view kCertificateSuffix = ".cer";
constexpr std::string_view kKeyProvSuffix = ".key-prov";
constexpr std::string_view kCrlSuffix = ".crl";

bool IsThumbprint(std::string_view text) {
  return text.size() == 40 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

bool IsStoreName(std::string_view name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

// Values of the key-provider file are percent-encoded so that any byte survives one line.
std::string PercentEncode(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == '%' || byte >= 0x7F) {
      encoded += '%';
      encoded += kDigits[byte >> 4];
      encoded += kDigits[byte & 0x0F];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

// The key-provider file: one "key value" pair per line.
std::string KeyProvText(const KeyProvInfo& info) {
  return "container " + PercentEncode(info.container_name) + "\nprovider " +
         PercentEncode(info.provider_name) + "\ntype " + std::to_string(info.provider_type) +
         "\nflags " + std::to_string(info.flags) + "\nkeyspec " + std::to_string(info.key_spec) +
         "\n";
}

uint32_t ParseNumber(std::string_view text) {
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return 0;
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

std::optional<KeyProvInfo> ParseKeyProv(std::string_view text) {
  KeyProvInfo info;
  bool has_container = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
      continue;
    }
    const std::string_view key = line.substr(0, blank);
    const std::string_view value = line.substr(blank + 1);
    if (key == "container") {
      info.container_name = base::PercentDecoded(value);
      has_container = true;
    } else if (key == "provider") {
      info.provider_name = base::PercentDecoded(value);
    } else if (key == "type") {
      info.provider_type = ParseNumber(value);
    } else if (key == "flags") {
      info.flags = ParseNumber(value);
    } else if (key == "keyspec") {
      info.key_spec = ParseNumber(value);
    }
  }
  return has_container ? std::optional<KeyProvInfo>(info) : std::nullopt;
}

// The names of the entries of a folder that end with suffix (none when the folder is missing).
std::vector<std::string> EntriesWithSuffix(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  const base::UniqueFd dir(
      ::open(rtl::NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0) {
    return names;
  }
  for (std::string& name : base::FolderEntryNames(dir.Get())) {
    if (name.size() > suffix.size() && name.ends_with(suffix) && name[0] != '.') {
      names.push_back(std::move(name));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveFile(const std::string& path) {
  if (::unlink(rtl::NativePath(path).c_str()) != 0 && errno != ENOENT) {
    RaiseFileError(errno, path);
  }
}

void RaiseExists() {
  RaiseCryptError(code::kCryptEExists);
}

void CheckWritable(const CertStore::State& state) {
  if (state.read_only) {
    RaiseCryptError(code::kEAccessDenied, "(read-only store)");
  }
}

}  // namespace

CertStore CertStore::OpenSystem(StoreLocation location, std::string_view name) {
  if (!IsStoreName(name)) {
    RaiseCryptError(code::kEInvalidArg, "(store name)");
  }
  if (location != StoreLocation::kLocalMachine && location != StoreLocation::kCurrentUser) {
    RaiseCryptError(code::kEInvalidArg, "(store location)");
  }
  auto state = std::make_shared<State>();
  state->system = true;
  state->location = location;
  state->name = std::string(name);
  return CertStore(std::move(state));
}

CertStore CertStore::OpenMemory() {
  return CertStore(std::make_shared<State>());
}

bool CertStore::IsSystem() const noexcept {
  return state_->system;
}

bool CertStore::IsReadOnly() const noexcept {
  return state_->read_only;
}

StoreLocation CertStore::Location() const noexcept {
  return state_->location;
}

const std::string& CertStore::Name() const noexcept {
  return state_->name;
}

std::string CertStore::Folder() const {
  return state_->system ? LocationFolder(state_->location) + "/stores/" + state_->name
                        : std::string();
}

namespace {

std::string Sha1Hex(std::string_view bytes) {
  unsigned char digest[SHA_DIGEST_LENGTH];
  ::SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  return rtl::BytesToHexPlain(
      std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

// The entry base + ".cer" (with its binding) when it holds the certificate of that thumbprint;
// otherwise nullopt, and reason says why unless the entry is missing.
std::optional<Certificate> ReadEntry(const std::string& base, std::string_view thumbprint,
                                     std::string& reason) {
  std::string der;
  if (!ReadWholeFile(base + std::string(kCertificateSuffix), der, kStoreFileLimit, &reason)) {
    return std::nullopt;
  }
  try {
    Certificate certificate = Certificate::FromDer(der);
    // An entry written before certificates were kept as DER is named by its BER bytes.
    if (certificate.Thumbprint() != thumbprint && Sha1Hex(der) != thumbprint) {
      reason = "the certificate of another thumbprint";
      return std::nullopt;
    }
    if (std::string text; ReadWholeFile(base + std::string(kKeyProvSuffix), text)) {
      certificate.SetKeyProv(ParseKeyProv(text));
    }
    return certificate;
  } catch (const ECryptError&) {
    reason = "not a certificate";
    return std::nullopt;
  }
}

// A skipped file for a report: its name as library text, control characters shown as '?'.
SkippedFile Skipped(std::string_view name, std::string reason) {
  std::string shown = rtl::LibraryPath(name);
  std::replace_if(
      shown.begin(), shown.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '?');
  rtl::DebugLog("Skipping store entry %s: %s", shown, reason);
  return {std::move(shown), std::move(reason)};
}

}  // namespace

std::optional<Certificate> CertStore::FindByThumbprint(std::string_view thumbprint) const {
  if (!state_->system) {
    for (const Certificate& certificate : state_->certificates) {
      if (certificate.Thumbprint() == thumbprint) {
        return certificate;
      }
    }
    return std::nullopt;
  }
  if (!IsThumbprint(thumbprint)) {
    return std::nullopt;
  }
  std::string reason;
  return ReadEntry(Folder() + "/" + std::string(thumbprint), thumbprint, reason);
}

std::vector<Certificate> CertStore::Certificates(std::vector<SkippedFile>* skipped) const {
  if (!state_->system) {
    return state_->certificates;
  }
  std::vector<Certificate> certificates;
  const std::string folder = Folder();
  for (const std::string& name : EntriesWithSuffix(folder, kCertificateSuffix)) {
    const std::string thumbprint = name.substr(0, name.size() - kCertificateSuffix.size());
    std::string reason = "not named by a thumbprint";
    std::optional<Certificate> certificate;
    if (IsThumbprint(thumbprint)) {
      reason.clear();
      certificate = ReadEntry(folder + "/" + thumbprint, thumbprint, reason);
    }
    if (certificate) {
      certificates.push_back(std::move(*certificate));
    } else if (!reason.empty()) {
      SkippedFile file = Skipped(name, std::move(reason));
      if (skipped != nullptr) {
        skipped->push_back(std::move(file));
      }
    }
  }
  return certificates;
}

std::vector<Certificate> CertStore::FindBySubjectName(std::string_view name_der) const {
  std::vector<Certificate> found;
  for (Certificate& certificate : Certificates()) {
    if (certificate.SubjectNameDer() == name_der) {
      found.push_back(std::move(certificate));
    }
  }
  return found;
}

std::optional<Certificate> CertStore::FindByIssuerAndSerial(std::string_view issuer_der,
                                                            std::string_view serial) const {
  for (Certificate& certificate : Certificates()) {
    if (certificate.IssuerNameDer() == issuer_der && certificate.SerialNumber() == serial) {
      return std::move(certificate);
    }
  }
  return std::nullopt;
}

std::vector<std::string> CertStore::StaleNames(const Certificate& certificate) const {
  std::vector<std::string> names;
  const std::string thumbprint = certificate.Thumbprint();
  const std::string folder = Folder();
  for (const std::string& name : EntriesWithSuffix(folder, kCertificateSuffix)) {
    const std::string base = name.substr(0, name.size() - kCertificateSuffix.size());
    std::string der;
    if (base != thumbprint && IsThumbprint(base) &&
        ReadWholeFile(folder + "/" + name, der, kStoreFileLimit) &&
        der::BerToDer(der) == certificate.Der()) {
      names.push_back(base);
    }
  }
  return names;
}

Certificate CertStore::Add(const Certificate& certificate, AddDisposition disposition) {
  CheckWritable(*state_);
  const std::string thumbprint = certificate.Thumbprint();
  std::optional<Certificate> existing = FindByThumbprint(thumbprint);
  // Entries of this certificate named by the thumbprint of its BER bytes are re-keyed.
  const std::vector<std::string> stale =
      state_->system ? StaleNames(certificate) : std::vector<std::string>();
  if (!existing && !stale.empty()) {
    existing = FindByThumbprint(stale.front());
  }
  std::optional<Certificate> older;
  switch (disposition) {
    case AddDisposition::kNew:
      if (existing) {
        RaiseExists();
      }
      break;
    case AddDisposition::kUseExisting:
      if (existing && stale.empty()) {
        return *existing;
      }
      break;
    case AddDisposition::kNewer:
      older = FindByIssuerAndSerial(certificate.IssuerNameDer(), certificate.SerialNumber());
      if (older && older->NotBefore() >= certificate.NotBefore()) {
        RaiseExists();
      }
      break;
    case AddDisposition::kReplaceExisting:
    case AddDisposition::kAlways:
      break;
  }
  if (!state_->system) {
    auto& list = state_->certificates;
    std::erase_if(list, [&](const Certificate& c) {
      return c.Thumbprint() == thumbprint || (older && c.SameAs(*older));
    });
    list.push_back(certificate);
    return certificate;
  }
  const std::string folder = Folder();
  EnsurePrivateFolder(folder);
  const std::string base = folder + "/" + thumbprint;
  // Re-keying an entry keeps it as it was (with its binding) unless it is replaced.
  const Certificate& written =
      disposition == AddDisposition::kUseExisting && existing ? *existing : certificate;
  WriteFileAtomic(base + std::string(kCertificateSuffix), written.Der(), 0600);
  if (written.KeyProv()) {
    WriteFileAtomic(base + std::string(kKeyProvSuffix), KeyProvText(*written.KeyProv()), 0600);
  } else {
    RemoveFile(base + std::string(kKeyProvSuffix));
  }
  if (older && older->Thumbprint() != thumbprint) {
    Delete(older->Thumbprint());
  }
  for (const std::string& name : stale) {
    RemoveFile(folder + "/" + name + std::string(kKeyProvSuffix));
    RemoveFile(folder + "/" + name + std::string(kCertificateSuffix));
  }
  return written;
}

bool CertStore::Delete(std::string_view thumbprint) {
  CheckWritable(*state_);
  if (!state_->system) {
    return std::erase_if(state_->certificates,
                         [&](const Certificate& c) { return c.Thumbprint() == thumbprint; }) > 0;
  }
  if (!IsThumbprint(thumbprint)) {
    return false;
  }
  const std::string base = Folder() + "/" + std::string(thumbprint);
  if (::access(rtl::NativePath(base + std::string(kCertificateSuffix)).c_str(), F_OK) != 0) {
    return false;
  }
  RemoveFile(base + std::string(kKeyProvSuffix));
  RemoveFile(base + std::string(kCertificateSuffix));
  return true;
}

std::vector<Crl> CertStore::Crls(std::vector<SkippedFile>* skipped) const {
  if (!state_->system) {
    return state_->crls;
  }
  std::vector<Crl> crls;
  const std::string folder = Folder();
  for (const std::string& name : EntriesWithSuffix(folder, kCrlSuffix)) {
    std::string der;
    std::string reason;
    if (ReadWholeFile(folder + "/" + name, der, kCrlFileLimit, &reason)) {
      try {
        crls.push_back(Crl::FromDer(der));
        continue;
      } catch (const ECryptError&) {
        reason = "not a CRL";
      }
    }
    if (!reason.empty()) {
      SkippedFile file = Skipped(name, std::move(reason));
      if (skipped != nullptr) {
        skipped->push_back(std::move(file));
      }
    }
  }
  return crls;
}

namespace {

// The lock of a system store's folder: an exclusive flock on its ".lock" file (a name no listing
// shows), held while an entry is read, decided on and replaced, so that the replacements of two
// processes never interleave. Waits for the lock.
class StoreLock final {
 public:
  explicit StoreLock(const std::string& folder) {
    const std::string path = folder + "/.lock";
    fd_.Reset(
        ::open(rtl::NativePath(path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd_.Get() < 0) {
      RaiseFileError(errno, path);
    }
    if (const int error = base::LockExclusive(fd_.Get()); error != 0) {
      RaiseFileError(error, path);
    }
  }

 private:
  base::UniqueFd fd_;
};

}  // namespace

// Under the store's lock the lists of the issuer are read, compared and replaced as one step:
// the new file is written completely first, then the lists it replaces are removed.
void CertStore::AddCrl(const Crl& crl, AddDisposition disposition) {
  CheckWritable(*state_);
  std::optional<StoreLock> lock;
  if (state_->system) {
    EnsurePrivateFolder(Folder());
    lock.emplace(Folder());
  }
  const std::string thumbprint = crl.Thumbprint();
  std::vector<Crl> matching;
  for (Crl& present : Crls()) {
    if (disposition == AddDisposition::kAlways ? present.Thumbprint() == thumbprint
                                               : present.IssuerNameDer() == crl.IssuerNameDer()) {
      matching.push_back(std::move(present));
    }
  }
  if (!matching.empty()) {
    if (disposition == AddDisposition::kNew) {
      RaiseExists();
    }
    if (disposition == AddDisposition::kUseExisting) {
      return;
    }
    // A list dated ahead of the clock never counts as the newer one.
    const int64_t latest = std::time(nullptr) + kCrlClockSkew;
    if (disposition == AddDisposition::kNewer &&
        std::any_of(matching.begin(), matching.end(), [&](const Crl& m) {
          return m.ThisUpdate() >= crl.ThisUpdate() && m.ThisUpdate() <= latest;
        })) {
      RaiseExists();
    }
  }
  if (!state_->system) {
    std::erase_if(state_->crls, [&](const Crl& c) {
      return std::any_of(matching.begin(), matching.end(),
                         [&](const Crl& m) { return m.Thumbprint() == c.Thumbprint(); });
    });
    state_->crls.push_back(crl);
    return;
  }
  const std::string folder = Folder();
  WriteFileAtomic(folder + "/" + thumbprint + std::string(kCrlSuffix), crl.Der(), 0600);
  for (const Crl& old : matching) {
    if (old.Thumbprint() != thumbprint) {
      RemoveFile(folder + "/" + old.Thumbprint() + std::string(kCrlSuffix));
    }
  }
}

// Read through OpenSSL's CMS parser, which takes both PKCS#7 (RFC 2315) and CMS (RFC 5652)
// SignedData, detached signatures included.
CertStore CertStore::OpenPkcs7(std::string_view der) {
  const CryptoRuntime runtime;
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  const auto* const begin = in;
  ossl::CmsPtr cms(::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(der.size())));  // NOLINT
  if (!cms || static_cast<size_t>(in - begin) != der.size()) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEAsn1BadTag, "(PKCS#7)");
  }
  if (::OBJ_obj2nid(::CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
    RaiseCryptError(code::kCryptEInvalidMsgType, "(PKCS#7 is not SignedData)");
  }
  auto state = std::make_shared<State>();
  const ossl::X509StackOwnedPtr certificates(::CMS_get1_certs(cms.get()));
  for (int i = 0; i < sk_X509_num(certificates.get()); ++i) {
    X509* x509 = sk_X509_value(certificates.get(), i);
    ::X509_up_ref(x509);
    state->certificates.push_back(CertificateAccess::Wrap(ossl::X509Ptr(x509)));
  }
  STACK_OF(X509_CRL)* crls = ::CMS_get1_crls(cms.get());
  for (int i = 0; i < sk_X509_CRL_num(crls); ++i) {
    const std::string crl_der =
        ossl::ToDer(sk_X509_CRL_value(crls, i),
                    [](const X509_CRL* c, unsigned char** out) { return ::i2d_X509_CRL(c, out); });
    state->crls.push_back(Crl::FromDer(crl_der));
  }
  sk_X509_CRL_pop_free(crls, ::X509_CRL_free);
  state->read_only = true;
  return CertStore(std::move(state));
}

std::vector<Certificate> CertificatesOfPkcs7(std::string_view der) {
  return CertStore::OpenPkcs7(der).Certificates();
}

std::string MakeCertificatesPkcs7(const std::vector<Certificate>& certificates) {
  const CryptoRuntime runtime;
  ossl::Pkcs7Ptr pkcs7(::PKCS7_new());
  if (!pkcs7 || ::PKCS7_set_type(pkcs7.get(), NID_pkcs7_signed) != 1 ||
      ::PKCS7_content_new(pkcs7.get(), NID_pkcs7_data) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  for (const Certificate& certificate : certificates) {
    if (::PKCS7_add_certificate(pkcs7.get(), CertificateAccess::Native(certificate)) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
    }
  }
  std::string der = ossl::ToDer(
      pkcs7.get(), [](const PKCS7* p, unsigned char** out) { return ::i2d_PKCS7(p, out); });
  if (der.empty()) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  return der;
}

}  // namespace lyr::crypt
