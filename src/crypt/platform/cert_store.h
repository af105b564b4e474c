// Certificate stores: the system stores on disk ("MY", "ROOT", "CA", "addressbook" at the two
// locations), in-memory stores, and the read-only store of a PKCS#7 certificates blob.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/store_location.h"

namespace lyr::crypt {

// What Add does when the store already holds a matching entry (CryptoAPI's CERT_STORE_ADD_*
// values). A certificate matches by thumbprint (for kNewer: by issuer and serial number); a CRL
// matches by issuer name (for kAlways: by thumbprint, so a store may hold several lists of one
// issuer).
enum class AddDisposition : uint8_t {
  kNew = 1,              // fail with CRYPT_E_EXISTS
  kUseExisting = 2,      // keep the existing entry (with its properties)
  kReplaceExisting = 3,  // replace it, properties included
  kAlways = 4,           // as kReplaceExisting (a store holds one entry per thumbprint)
  kNewer = 6,            // replace it when the new one is newer (certificate: later not-before;
                         // CRL: later this-update than every list of the issuer that is not
                         // dated ahead of the clock), else fail with CRYPT_E_EXISTS
};

// A file of a store folder that a listing skipped: its name in the folder (library text, control
// characters shown as '?') and why.
struct SkippedFile {
  std::string name;
  std::string reason;
};

// One certificate store. System stores read the disk on every call, so several processes see
// each other's writes; every write is atomic (no reader sees half a file). Memory stores live in
// the process only. Copies of a CertStore object share the same store.
//
// On disk, under LocationFolder(location)/stores/<name>/ (with the lock file ".lock"):
// "<thumbprint>.cer" (DER),
// "<thumbprint>.key-prov" (the key-provider property of that certificate, a small text file),
// and "<thumbprint of the CRL>.crl" (DER). Folders are created 0700, files 0600.
class CertStore final {
 public:
  // A system store; nothing is created until the first write. The name must be a plain file
  // name (letters, digits, '_', '-'); others raise ECryptError E_INVALIDARG.
  static CertStore OpenSystem(StoreLocation location, std::string_view name);
  // An empty in-memory store.
  static CertStore OpenMemory();
  // A read-only memory store of the certificates and CRLs of a PKCS#7 SignedData (DER). Raises
  // ECryptError CRYPT_E_ASN1_BADTAG for bytes that are not PKCS#7 and CRYPT_E_INVALID_MSG_TYPE
  // for PKCS#7 that is not SignedData.
  static CertStore OpenPkcs7(std::string_view der);

  [[nodiscard]] bool IsSystem() const noexcept;
  [[nodiscard]] bool IsReadOnly() const noexcept;
  // System stores: their location, name and folder.
  [[nodiscard]] StoreLocation Location() const noexcept;
  [[nodiscard]] const std::string& Name() const noexcept;
  [[nodiscard]] std::string Folder() const;

  // Every certificate (with its key-provider property), in a stable order: by thumbprint for
  // system stores, in order of addition for memory stores. Entries that cannot be read are
  // skipped (traced) and, when skipped is given, named there with the reason: files that are
  // links, FIFOs, devices or folders, larger than kStoreFileLimit, or no certificate of that
  // thumbprint.
  [[nodiscard]] std::vector<Certificate> Certificates(
      std::vector<SkippedFile>* skipped = nullptr) const;
  // The certificate whose thumbprint (40 upper-case hex digits) equals thumbprint exactly.
  [[nodiscard]] std::optional<Certificate> FindByThumbprint(std::string_view thumbprint) const;
  // Certificates whose subject name equals name_der byte for byte.
  [[nodiscard]] std::vector<Certificate> FindBySubjectName(std::string_view name_der) const;
  // Certificates with this issuer name (DER) and serial number (content bytes).
  [[nodiscard]] std::optional<Certificate> FindByIssuerAndSerial(std::string_view issuer_der,
                                                                 std::string_view serial) const;

  // Adds certificate (with its key-provider property) and returns the entry now in the store.
  // An entry of the same certificate named by the thumbprint of its BER bytes (written before
  // certificates were kept as DER; read as it is meanwhile) is moved to the DER thumbprint, its
  // binding kept with kUseExisting.
  // Raises ECryptError CRYPT_E_EXISTS as the disposition says, E_ACCESSDENIED for a read-only
  // store, and the file errors of a failed write (the store is then as it was).
  Certificate Add(const Certificate& certificate, AddDisposition disposition);
  // Removes the certificate with that thumbprint and its property; false when there was none.
  bool Delete(std::string_view thumbprint);

  // The CRLs, skipping files as Certificates does (with the limit kCrlFileLimit).
  [[nodiscard]] std::vector<Crl> Crls(std::vector<SkippedFile>* skipped = nullptr) const;
  // Adds a CRL as Add does a certificate. In a system store the lists it replaces are removed
  // after it is written, all under the store's lock (an flock on "<folder>/.lock"), so that
  // concurrent adds of one issuer's lists leave the newest alone.
  void AddCrl(const Crl& crl, AddDisposition disposition);

  struct State;

 private:
  explicit CertStore(std::shared_ptr<State> state) : state_(std::move(state)) {}
  // Names (thumbprints) of entries holding certificate's BER bytes.
  [[nodiscard]] std::vector<std::string> StaleNames(const Certificate& certificate) const;

  std::shared_ptr<State> state_;
};

// The certificates of a PKCS#7 SignedData (DER), in their order; raises as OpenPkcs7.
std::vector<Certificate> CertificatesOfPkcs7(std::string_view der);
// A degenerate PKCS#7 SignedData (certificates only, no content, no signers), DER.
std::string MakeCertificatesPkcs7(const std::vector<Certificate>& certificates);

}  // namespace lyr::crypt
