// CTdx880Document: lifecycle, stored form and signature list of a package item.
#include "package/tdx880_document.h"

#include <algorithm>
#include <future>
#include <optional>
#include <system_error>

#include "crypt/tdx880_crypto_tool.h"
#include "crypt/tdx880_key.h"
#include "package/os_abbrevia_tool.h"
#include "package/package_file.h"
#include "package/streamed_plain.h"
#include "package/tdx880_signature.h"
#include "package/tdx880_tool.h"
#include "package/xml/xml_gpr_document.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/identifiers.h"
#include "rtl/value_check_tool.h"

namespace lyr::package {

using rtl::Msg;

namespace {

// The single entry of a compressed content carries this name.
constexpr const char* kCompressedEntryName = "file";

// Content from this size on is signed on another thread while it is compressed.
constexpr size_t kSignBesideCompression = size_t{64} << 10;

// A signed envelope from this size on is decrypted, inflated and hashed for its signatures as a
// stream, the hash on another thread.
constexpr size_t kHashBesideDecryption = size_t{64} << 10;

}  // namespace

CTdx880Document::CTdx880Document()
    : crypto_available_(crypt::CTdx880CryptoTool::IsCryptographyOk()) {}

CTdx880Document::~CTdx880Document() {
  CloseOnDestroy();
}

// --- Lifecycle ---

bool CTdx880Document::Open(rtl::CBaseClass* source) {
  return Guarded([&] {
    if (IsDocumentOpened()) {
      return true;
    }
    if (!Close()) {
      return false;
    }
    Bind(source);
    bool loaded = false;
    try {
      loaded = Load();
    } catch (...) {
      Close();
      throw;
    }
    if (!loaded) {
      Close();
    }
    return loaded;
  });
}

bool CTdx880Document::Close() {
  return Guarded([&] {
    CloseSignatures();
    SetStored({});
    raw_content_ = content_;
    packed_.reset();
    packed_plain_.reset();
    digests_.reset();
    entry_ = nullptr;
    config_.Assign(CTdx880ItemConfig());
    return true;
  });
}

bool CTdx880Document::IsDocumentOpened() const {
  return entry_ != nullptr;
}

bool CTdx880Document::New(rtl::CBaseClass* source) {
  return Guarded([&] {
    if (IsDocumentOpened()) {
      rtl::Raise(Msg(u8"Документ уже открыт, операция невозможна"));
    }
    Bind(source);
    NameFileWhenUnnamed();
    if (Entry().DocumentCode().empty()) {
      Entry().SetDocumentCode(rtl::NewFileId());
    }
    return true;
  });
}

bool CTdx880Document::Save() {
  return Guarded([&] {
    NameFileWhenUnnamed();
    Compress();
    WritePackageFile(PackageConfig(), Entry().FileName(), content_);
    for (const SignaturePtr& signature : signatures_) {
      if (!signature->Save()) {
        return false;
      }
    }
    return true;
  });
}

// --- Properties ---

const std::string& CTdx880Document::DocType() const {
  return Entry().DocumentType();
}

const std::string& CTdx880Document::DocTypeCode() const {
  return Entry().DocumentTypeCode();
}

void CTdx880Document::SetDocTypeCode(const std::string& code) {
  const DocumentTypeInfo info =
      CTdx880Tool::GetDocumentTypeInfo(PackageConfig().ThreadTypeCode(), code);
  Entry().SetDocumentType(info.DocumentTypeName);
  Entry().SetDocumentTypeCode(code);
}

const std::string& CTdx880Document::ContentType() const {
  return Entry().ContentType();
}

void CTdx880Document::SetContentType(const std::string& content_type) {
  Entry().SetContentType(content_type);
}

bool CTdx880Document::IsCompressed() const {
  return Entry().IsCompressed();
}

bool CTdx880Document::IsEncrypted() const {
  return Entry().IsEncrypted();
}

const std::string& CTdx880Document::DocumentCode() const {
  return Entry().DocumentCode();
}

void CTdx880Document::SetDocumentCode(const std::string& code) {
  Entry().SetDocumentCode(code);
}

const std::string& CTdx880Document::OriginalFilename() const {
  return Entry().OriginalFilename();
}

void CTdx880Document::SetOriginalFilename(const std::string& path) {
  Entry().SetOriginalFilename(rtl::FileNamePart(path));
}

const std::string& CTdx880Document::FileName() const {
  return Entry().FileName();
}

void CTdx880Document::SetFileName(const std::string& file_name) {
  Entry().SetFileName(file_name);
}

// --- Content ---

void CTdx880Document::SetContent(std::string value) {
  xml::CXMLGprDocument& entry = Entry();
  SetStored(std::move(value));
  raw_content_ = content_;
  packed_.reset();
  packed_plain_.reset();
  entry.SetIsCompressed(false);
  entry.SetIsEncrypted(false);
}

std::string CTdx880Document::PlainContent() const {
  return *PlainBytes();
}

const crypt::ContentDigests* CTdx880Document::DigestsOf(
    const std::shared_ptr<const std::string>& bytes) const {
  return bytes != nullptr && digests_of_.lock() == bytes ? digests_.get() : nullptr;
}

std::shared_ptr<const std::string> CTdx880Document::PlainBytes() const {
  rtl::Assert(!IsEncrypted(), "CTdx880Document.PlainContent of an encrypted document",
              "Tdx880Document");
  if (IsCompressed()) {
    if (packed_ != nullptr && packed_ == content_) {
      return packed_plain_;
    }
    return std::make_shared<const std::string>(
        COsAbbreviaTool::UnpackDocument(*content_, Budget()));
  }
  return content_;
}

void CTdx880Document::SetStored(std::string value) {
  content_ = std::make_shared<const std::string>(std::move(value));
}

// --- Signatures ---

int32_t CTdx880Document::GetSignatureCount() const noexcept {
  return static_cast<int32_t>(signatures_.size());
}

CTdx880Document::SignaturePtr CTdx880Document::GetSignature(int32_t index) const {
  rtl::Assert(index >= 0 && index < GetSignatureCount(),
              "CTdx880Document.GetSignature: index out of bounds", "Tdx880Document");
  return signatures_[static_cast<size_t>(index)];
}

bool CTdx880Document::RemoveAllSignatures() {
  return Guarded([&] {
    xml::CXMLGprDocument& entry = Entry();
    CloseSignatures();
    entry.Signatures().Clear();
    return true;
  });
}

bool CTdx880Document::Sign(const crypt::CTdx880Key* key) {
  return Guarded([&] {
    CheckCryptography(u8"подписание");
    rtl::CValueCheckTool::CheckAssigned(key, "pKey");
    if (IsEncrypted()) {
      rtl::Raise(Msg(u8"Нельзя подписывать зашифрованный документ"));
    }
    Decompress();
    for (const SignaturePtr& signature : signatures_) {
      if (signature->Key().Sha1() == key->Sha1()) {
        rtl::RaiseFmt(u8"Подпись [%s] уже имеется под этим документом", key->SubjectCN());
      }
    }
    const std::string signature = SignBesideCompression(*key);
    AddSignature(signature, key->SignRole());
    return true;
  });
}

bool CTdx880Document::AddSign(const std::string& content, SubjectCode role) {
  return Guarded([&] {
    rtl::CValueCheckTool::CheckNotEmpty(content, "sSignatureContent");
    AddSignature(content, role);
    return true;
  });
}

bool CTdx880Document::CheckSign() {
  return Guarded([&] {
    Verify(true, true);
    return true;
  });
}

bool CTdx880Document::CheckSignEx(bool download_content, bool check_crl) {
  return Guarded([&] {
    Verify(download_content, check_crl);
    return true;
  });
}

// --- Encryption ---

bool CTdx880Document::EncryptIfRequired(const crypt::CTdx880Key* key) {
  return Guarded([&] {
    CheckCryptography(u8"шифрование");
    rtl::CValueCheckTool::CheckAssigned(key, "pKey");
    if (CTdx880Tool::GetDocumentTypeInfo(PackageConfig().ThreadTypeCode(), DocTypeCode()).Encrypt) {
      EncryptContent(*key);
    }
    return true;
  });
}

bool CTdx880Document::Encrypt(const crypt::CTdx880Key* key) {
  return Guarded([&] {
    rtl::CValueCheckTool::CheckAssigned(key, "pKey");
    EncryptContent(*key);
    return true;
  });
}

bool CTdx880Document::DecryptIfEncrypted() {
  return Guarded([&] {
    CheckCryptography(u8"расшифрование");
    if (IsEncrypted()) {
      DecryptContent();
    }
    return true;
  });
}

bool CTdx880Document::Decrypt() {
  return Guarded([&] {
    DecryptContent();
    return true;
  });
}

// --- Private ---

void CTdx880Document::CheckCryptography(const char8_t* operation) const {
  if (!crypto_available_) {
    rtl::RaiseFmt(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: %s",
                  Msg(operation));
  }
}

// The signer is read (and the duplicate refused) before anything changes; the entry and the
// signature object are added together or not at all.
void CTdx880Document::AddSignature(const std::string& content, SubjectCode role) {
  std::optional<crypt::SignatureSigner> signer;
  if (crypto_available_) {
    signer = crypt::CTdx880CryptoTool::SignerFromSignature(content);
    for (const SignaturePtr& signature : signatures_) {
      if (signature->Key().Sha1() == signer->sha1) {
        rtl::RaiseFmt(u8"Добавляемая подпись [%s] уже имеется под документом", signer->subject_cn);
      }
    }
  }
  xml::CXMLGprSignatureCollection& entries = Entry().Signatures();
  xml::CXMLGprSignature& entry = entries.Add();
  try {
    entry.SetRole(role);
    auto signature = std::make_shared<CTdx880Signature>();
    CTdx880ItemConfig config(&entry, config_.PackageConfig());
    if (!signature->New(&config)) {
      rtl::Raise(Msg(u8"Подпись не создана"));
    }
    signature->SetSignatureContent(content);
    if (signer) {
      signature->SetSigner(*signer, role);
    }
    signatures_.push_back(std::move(signature));
  } catch (...) {
    entries.Delete(entries.Count() - 1);
    throw;
  }
}

void CTdx880Document::Verify(bool download_content, bool check_crl) {
  CheckCryptography(u8"Проверка подписи");
  if (IsEncrypted()) {
    rtl::Raise(
        Msg(u8"Нельзя проверить подпись под зашифрованным документом. Необходимо "
            u8"предварительно его расшифровать"));
  }
  const std::shared_ptr<const std::string> bytes = PlainBytes();
  const std::string& plain = *bytes;
  if (plain.empty()) {
    return;
  }
  const crypt::CTdx880CryptoTool tool;
  const bool user_storage = PackageConfig().FlagUsageUserStorage();
  const crypt::ContentDigests* digests = DigestsOf(bytes);
  for (const SignaturePtr& signature : signatures_) {
    tool.CheckSignEx(user_storage, plain, check_crl, download_content, &signature->Signers(),
                     signature->SignatureContent(), digests);
  }
}

void CTdx880Document::EncryptContent(const crypt::CTdx880Key& key) {
  CheckCryptography(u8"Шифрование");
  if (IsEncrypted()) {
    return;
  }
  Compress();
  const crypt::CTdx880CryptoTool tool;
  const crypt::ContentCipher cipher = PackageConfig().EnvelopeCipher();
  std::string enveloped = key.CertificateBody().empty()
                              ? tool.EncryptBySha1(PackageConfig().FlagUsageUserStorage(),
                                                   *content_, key.Sha1(), cipher)
                              : tool.EncryptByCertificate(*content_, key.CertificateBody(), cipher);
  SetStored(std::move(enveloped));
  Entry().SetIsEncrypted(true);
}

// Decrypted and unpacked aside, so a failure at any step leaves the item as it was.
void CTdx880Document::DecryptContent() {
  CheckCryptography(u8"Расшифрование");
  if (!IsEncrypted()) {
    return;
  }
  const bool user_storage = PackageConfig().FlagUsageUserStorage();
  std::unique_ptr<crypt::ContentDigester> digester = DigesterForSignatures();
  std::shared_ptr<const std::string> opened;
  std::shared_ptr<const std::string> packed;
  crypt::ContentDigests digests;
  if (digester != nullptr) {
    StreamedPlain streamed =
        DecryptStreamed(user_storage, *content_, IsCompressed(), *digester, Budget());
    opened = std::move(streamed.plain);
    packed = std::move(streamed.packed);
    digests = std::move(streamed.digests);
  } else {
    opened = std::make_shared<const std::string>(
        crypt::CTdx880CryptoTool().Decrypt(user_storage, *content_));
    if (IsCompressed()) {
      packed = std::move(opened);
      opened =
          std::make_shared<const std::string>(COsAbbreviaTool::UnpackDocument(*packed, Budget()));
    }
  }
  if (!digests.empty()) {
    digests_ = std::make_shared<const crypt::ContentDigests>(std::move(digests));
    digests_of_ = opened;
  }
  xml::CXMLGprDocument& entry = Entry();
  content_ = std::move(opened);
  entry.SetIsEncrypted(false);
  entry.SetIsCompressed(false);
  raw_content_ = content_;
  if (packed) {
    KeepPacked(std::move(packed));
  }
}

// A digester for the digest algorithms of the item's signatures when its envelope is large
// enough to be worth a second thread; null otherwise (or when none can be made: decryption then
// reports what is wrong with the crypto layer).
std::unique_ptr<crypt::ContentDigester> CTdx880Document::DigesterForSignatures() const {
  if (content_->size() < kHashBesideDecryption) {
    return nullptr;
  }
  std::vector<int> nids;
  for (const SignaturePtr& signature : signatures_) {
    for (const int nid : crypt::SignatureDigestNids(signature->SignatureContent())) {
      if (std::find(nids.begin(), nids.end(), nid) == nids.end()) {
        nids.push_back(nid);
      }
    }
  }
  if (nids.empty()) {
    return nullptr;
  }
  try {
    auto digester = std::make_unique<crypt::ContentDigester>(nids);
    return digester->Empty() ? nullptr : std::move(digester);
  } catch (const rtl::Exception&) {
    return nullptr;
  }
}

// The configuration is copied; its entry must be a document entry and its package configuration
// present (misuse by the calling code otherwise).
void CTdx880Document::Bind(rtl::CBaseClass* source) {
  const auto* config = dynamic_cast<const CTdx880ItemConfig*>(source);
  rtl::CValueCheckTool::CheckAssigned(config, "ItemConfig");
  auto* entry = dynamic_cast<xml::CXMLGprDocument*>(config->Entry());
  rtl::Assert(entry != nullptr && config->PackageConfig() != nullptr,
              "CTdx880Document: the configuration has no document entry", "Tdx880Document");
  config_.Assign(*config);
  entry_ = entry;
}

xml::CXMLGprDocument& CTdx880Document::Entry() const {
  if (entry_ == nullptr) {
    rtl::Raise(Msg(u8"Документ не открыт"));
  }
  return *entry_;
}

rtl::DecompressionBudget& CTdx880Document::Budget() const {
  static_cast<void>(Entry());  // closed: "Документ не открыт"
  return config_.PackageConfig()->Budget();
}

const CTdx880PackageConfig& CTdx880Document::PackageConfig() const {
  static_cast<void>(Entry());  // closed: "Документ не открыт"
  return *config_.PackageConfig();
}

void CTdx880Document::NameFileWhenUnnamed() {
  if (Entry().FileName().empty()) {
    Entry().SetFileName(rtl::Format("%s.bin", rtl::NewFileId()));
  }
}

bool CTdx880Document::Load() {
  if (!Entry().FileName().empty()) {
    content_ = ReadPackageBytes(PackageConfig(), Entry().FileName());
    Decompress();
  }
  if (!LoadSignatures()) {
    return false;
  }
  if (!IsCompressed() && !IsEncrypted()) {
    raw_content_ = content_;
  }
  return true;
}

// Each signature is appended before it opens, as the description lists it; one that reports
// failure (its error handler returned) ends the load with false.
bool CTdx880Document::LoadSignatures() {
  xml::CXMLGprSignatureCollection& entries = Entry().Signatures();
  for (int32_t i = 0; i < entries.Count(); ++i) {
    auto signature = std::make_shared<CTdx880Signature>();
    signatures_.push_back(signature);
    CTdx880ItemConfig config(&entries.Items(i), config_.PackageConfig());
    if (!signature->Open(&config)) {
      return false;
    }
  }
  return true;
}

void CTdx880Document::Compress() {
  if (IsEncrypted() || IsCompressed()) {
    return;
  }
  if (!PackedMatches()) {
    packed_plain_ = content_;
    packed_ = std::make_shared<const std::string>(
        COsAbbreviaTool::PackDocument(kCompressedEntryName, *content_));
  }
  content_ = packed_;
  Entry().SetIsCompressed(true);
}

void CTdx880Document::Decompress() {
  if (!IsCompressed() || IsEncrypted()) {
    return;
  }
  if (packed_ != nullptr && packed_ == content_) {
    content_ = packed_plain_;
  } else {
    std::shared_ptr<const std::string> packed = content_;
    SetStored(COsAbbreviaTool::UnpackDocument(*packed, Budget()));
    KeepPacked(std::move(packed));
  }
  Entry().SetIsCompressed(false);
}

void CTdx880Document::KeepPacked(std::shared_ptr<const std::string> packed) {
  // A form that is not clearly smaller (an incompressible document, stored) is made again
  // cheaply: the archive adaptor stores such data without deflating it.
  if (packed->size() <= content_->size() / 4 * 3) {
    packed_ = std::move(packed);
    packed_plain_ = content_;
  } else {
    packed_.reset();
    packed_plain_.reset();
  }
}

std::string CTdx880Document::SignBesideCompression(const crypt::CTdx880Key& key) {
  const bool user_storage = PackageConfig().FlagUsageUserStorage();
  const std::shared_ptr<const std::string> plain = content_;
  const std::string sha1 = key.Sha1();
  const auto sign = [user_storage, plain, sha1] {
    return crypt::CTdx880CryptoTool().Sign(user_storage, *plain, sha1);
  };
  if (plain->size() < kSignBesideCompression || PackedMatches()) {
    return sign();
  }
  std::future<std::string> signature;
  try {
    signature = std::async(std::launch::async, sign);
  } catch (const std::system_error&) {
    return sign();  // no thread to be had: one after the other
  }
  try {
    packed_ = std::make_shared<const std::string>(
        COsAbbreviaTool::PackDocument(kCompressedEntryName, *plain));
    packed_plain_ = plain;
  } catch (...) {
    // Only a head start: compressing at Save or encryption reports the error.
    packed_.reset();
    packed_plain_.reset();
  }
  return signature.get();
}

void CTdx880Document::CloseSignatures() noexcept {
  for (const SignaturePtr& signature : signatures_) {
    try {
      signature->Close();
    } catch (...) {
      // Close of a signature only forgets references; nothing is left to undo.
    }
  }
  signatures_.clear();
}

}  // namespace lyr::package
