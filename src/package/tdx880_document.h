// CTdx880Document: one document (item) of a package: its content, its description entry and its
// stored signature files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypt/platform/content_stream.h"
#include "package/subject_codes.h"
#include "package/tdx880_item_config.h"
#include "rtl/custom_doc.h"

namespace lyr::crypt {
class CTdx880Key;
}  // namespace lyr::crypt

namespace lyr::xml {
class CXMLGprDocument;
}  // namespace lyr::xml

namespace lyr::package {

class CTdx880Signature;

// States: closed (no entry, empty content); open and plain; open and compressed (the content is
// a ZIP archive with one entry "file"); open and encrypted (the compressed content enveloped for
// the recipient). Setting the content gives plain; Save and encryption compress; encryption gives
// encrypted; decryption and loading give plain (for unencrypted content); Close gives closed.
//
// Ownership: the container owns its items through std::shared_ptr, and so may automation objects
// that hand an item to a host, so an item outlives its removal from the package. The entry
// belongs to the description and the package configuration to the container; the container
// closes an item before it removes the item's entry or closes the package, after which the item
// holds no reference into either, and its entry-backed properties fail with "Документ не открыт".
// Signatures are held the same way and closed with their item.
//
// The public operations (lifecycle, signatures, encryption) are guarded: an error raised inside
// goes to the error handler (by default raised again with the same message), otherwise the
// operation returns false.
//
// Crypto check: signing, verification, encryption and decryption first fail with "Не установлен
// СКЗИ КриптоПро, который требуется для операции: %s" when the GOST provider was missing when the
// item was made; the operation names are "подписание" (Sign), "Проверка подписи" (CheckSign,
// CheckSignEx), "шифрование" (EncryptIfRequired), "Шифрование" (Encrypt), "расшифрование"
// (DecryptIfEncrypted) and "Расшифрование" (Decrypt). Every cryptographic call gets the package's
// FlagUsageUserStorage.
class CTdx880Document final : public rtl::CCustomDoc {
 public:
  using SignaturePtr = std::shared_ptr<CTdx880Signature>;

  // Takes the crypto-available flag from CTdx880CryptoTool::IsCryptographyOk.
  CTdx880Document();
  ~CTdx880Document() override;

  // --- Lifecycle (source: the CTdx880ItemConfig whose entry is this item's CXMLGprDocument; the
  // item copies it) ---

  // True at once when open. Otherwise binds source and loads the item from the working folder:
  // the content file named by FileName ("Файл в пакете не найден: [%s]" when missing),
  // decompressed when the entry says so ("Неверное число файлов в архиве: [%d]" unless the
  // archive holds one entry), then one signature object per signature entry, in order. A failed
  // load leaves the item closed.
  bool Open(rtl::CBaseClass* source) override;
  // When open: clears the content, closes and drops the signature objects, unbinds the entry and
  // the configuration. True.
  bool Close() override;
  [[nodiscard]] bool IsDocumentOpened() const override;
  // Fails with "Документ уже открыт, операция невозможна" when open. Binds source; an entry
  // without FileName gets a new identifier and ".bin", one without DocumentCode a new identifier.
  bool New(rtl::CBaseClass* source) override;
  // Stores the item in the working folder: names the content file when unnamed, compresses an
  // unencrypted content (it stays compressed in memory; RawContent is unchanged), writes the
  // content file, then lets each signature save itself.
  bool Save() override;

  // --- Properties of the entry (closed: "Документ не открыт") ---

  [[nodiscard]] const std::string& DocType() const;
  [[nodiscard]] const std::string& DocTypeCode() const;
  // Looks code up in the document-type table for the package's ThreadTypeCode ("Неизвестный код
  // документа [%s] в документообороте [%s][%s]") and stores the type name, then the code.
  void SetDocTypeCode(const std::string& code);
  [[nodiscard]] const std::string& ContentType() const;
  // Not empty ("ContentType").
  void SetContentType(const std::string& content_type);
  [[nodiscard]] bool IsCompressed() const;
  [[nodiscard]] bool IsEncrypted() const;
  [[nodiscard]] const std::string& DocumentCode() const;
  // Exactly 32 characters ("DocumentCode").
  void SetDocumentCode(const std::string& code);
  [[nodiscard]] const std::string& OriginalFilename() const;
  // Stores the name part of path (after the last "/" or "\").
  void SetOriginalFilename(const std::string& path);
  // The content file's name inside the package.
  [[nodiscard]] const std::string& FileName() const;
  // Empty or exactly 36 characters ("FileName").
  void SetFileName(const std::string& file_name);

  // --- Content ---

  // content := value, plain (IsCompressed and IsEncrypted false), RawContent := value.
  void SetContent(std::string value);
  // The content in its current stored form (plain, compressed, or compressed and encrypted).
  [[nodiscard]] const std::string& Content() const noexcept { return *content_; }
  // The last plain form of the content; empty for an item loaded encrypted and not yet decrypted.
  [[nodiscard]] const std::string& RawContent() const noexcept { return *raw_content_; }
  // The plain content, unpacked from a compressed one without changing the item. An encrypted
  // item fails a program check.
  [[nodiscard]] std::string PlainContent() const;
  // The plain content as PlainContent, shared instead of copied when the item holds it (plain,
  // or compressed from a plain form it still knows).
  [[nodiscard]] std::shared_ptr<const std::string> PlainBytes() const;
  // The digests of bytes (what PlainBytes returned) for the item's signatures, computed while a
  // large signed envelope was decrypted, as long as the item holds that very plain content; null
  // otherwise. A signature check may use them instead of hashing bytes
  // (CTdx880CryptoTool::CheckSignEx).
  [[nodiscard]] const crypt::ContentDigests* DigestsOf(
      const std::shared_ptr<const std::string>& bytes) const;

  // --- Signatures ---

  [[nodiscard]] int32_t GetSignatureCount() const noexcept;
  // The signature at index (0 .. count-1; the container range-checks; a program check here).
  [[nodiscard]] SignaturePtr GetSignature(int32_t index) const;
  // Removes every signature object (closing it) and every signature entry of the item's entry.
  bool RemoveAllSignatures();

  // Signs the plain content with the certificate of "MY" whose thumbprint is key's Sha1 and adds
  // the signature with key's SignRole (as AddSign). key must be present ("pKey"). Fails with
  // "Нельзя подписывать зашифрованный документ" for an encrypted item (a compressed one is
  // decompressed first) and with "Подпись [%s] уже имеется под этим документом" (key's SubjectCN)
  // when a signature of that thumbprint is present; signing failures come from
  // CTdx880CryptoTool::Sign (empty content: "Передан пустой аргумент: content"). A failed signing
  // adds nothing.
  bool Sign(const crypt::CTdx880Key* key);
  // Adds a detached signature made elsewhere with the role (a subject code). content must not be
  // empty ("sSignatureContent"). When cryptography is available the signer is read from the
  // signature first, and a signer already present fails with "Добавляемая подпись [%s] уже
  // имеется под документом" (its common name). Appends a подпись entry and a signature object
  // named with a new identifier; nothing is added on failure.
  bool AddSign(const std::string& content, SubjectCode role);
  // CheckSignEx(true, true).
  bool CheckSign();
  // Verifies every signature, in order, over the plain content, checking the signer's chain now;
  // each signature's Signers list receives what the check found. Fails with "Нельзя проверить
  // подпись под зашифрованным документом. Необходимо предварительно его расшифровать" for an
  // encrypted item; an empty plain content checks nothing. The first failing check ends the
  // verification with its error.
  bool CheckSignEx(bool download_content, bool check_crl);

  // --- Encryption ---

  // Encrypts the item (Encrypt) when the document-type table marks its DocTypeCode for
  // encryption in the package's flow; otherwise does nothing. key must be present ("pKey").
  bool EncryptIfRequired(const crypt::CTdx880Key* key);
  // Compresses an unencrypted item and envelopes it for key's certificate: by its
  // CertificateBody when it holds one, else by its Sha1 in "addressbook". An encrypted item is
  // left as it is. A failed encryption leaves the item unencrypted (possibly compressed).
  bool Encrypt(const crypt::CTdx880Key* key);
  // Decrypt when the item is encrypted; otherwise does nothing.
  bool DecryptIfEncrypted();
  // Opens the envelope with the user's key of "MY", decompresses and refreshes RawContent. An
  // unencrypted item is left as it is; a failed decryption leaves the item encrypted.
  bool Decrypt();

  [[nodiscard]] bool CryptographyAvailable() const noexcept { return crypto_available_; }

 private:
  void Bind(rtl::CBaseClass* source);
  [[nodiscard]] xml::CXMLGprDocument& Entry() const;
  [[nodiscard]] const CTdx880PackageConfig& PackageConfig() const;
  // The package's decompression budget: every inflation of the stored form takes from it.
  [[nodiscard]] rtl::DecompressionBudget& Budget() const;
  void NameFileWhenUnnamed();
  bool Load();
  bool LoadSignatures();
  void Compress();
  void Decompress();
  void CloseSignatures() noexcept;
  void CheckCryptography(const char8_t* operation) const;
  void AddSignature(const std::string& content, SubjectCode role);
  void Verify(bool download_content, bool check_crl);
  void EncryptContent(const crypt::CTdx880Key& key);
  void DecryptContent();
  [[nodiscard]] std::unique_ptr<crypt::ContentDigester> DigesterForSignatures() const;
  void SetStored(std::string value);
  // Signs the plain content; a large one is compressed meanwhile on this thread (Save and
  // encryption need that form next) while another thread signs.
  [[nodiscard]] std::string SignBesideCompression(const crypt::CTdx880Key& key);
  // Keeps packed as the compressed form of the plain content held now (see packed_).
  void KeepPacked(std::shared_ptr<const std::string> packed);
  [[nodiscard]] bool PackedMatches() const noexcept {
    return packed_ != nullptr && packed_plain_ == content_;
  }

  xml::CXMLGprDocument* entry_ = nullptr;
  CTdx880ItemConfig config_;
  std::vector<SignaturePtr> signatures_;
  // The stored form and the last plain form share one buffer while the content is plain, so a
  // large document is held once.
  std::shared_ptr<const std::string> content_ = std::make_shared<const std::string>();
  std::shared_ptr<const std::string> raw_content_ = content_;
  // A compressed form and the plain content it holds, remembered from loading, decryption or
  // an earlier compression: compressing or unpacking that plain content again gives these bytes
  // without deflating or inflating, so saving an opened, unchanged package is cheap. Kept for a
  // loaded form only when it is clearly smaller than the plain content (memory), always for one
  // made here.
  std::shared_ptr<const std::string> packed_;
  std::shared_ptr<const std::string> packed_plain_;
  // Digests of the plain content made by the last decryption, valid while digests_of_ (weak, so
  // it keeps no buffer alive) is the plain content PlainBytes gives.
  std::shared_ptr<const crypt::ContentDigests> digests_;
  std::weak_ptr<const std::string> digests_of_;
  bool crypto_available_ = false;
};

}  // namespace lyr::package
