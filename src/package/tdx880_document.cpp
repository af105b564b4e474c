// CTdx880Document: lifecycle, stored form and signature list of a package item.
#include "package/tdx880_document.h"

#include "crypt/crypto_api20_utils.h"
#include "package/os_abbrevia_tool.h"
#include "package/package_file.h"
#include "package/tdx880_signature.h"
#include "package/tdx880_tool.h"
#include "package/xml/xml_gpr_document.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/identifiers.h"
#include "rtl/value_check_tool.h"

namespace lyr::package {

using rtl::Msg;

namespace {

// The single entry of a compressed content carries this name.
constexpr const char* kCompressedEntryName = "file";

}  // namespace

CTdx880Document::CTdx880Document()
    : crypto_available_(crypt::CCryptoAPI20Utils::IsCryptographyOk()) {}

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
    content_.clear();
    raw_content_.clear();
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
  Entry().SetOriginalFilename(FileNamePart(path));
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
  raw_content_ = value;
  content_ = std::move(value);
  entry.SetIsCompressed(false);
  entry.SetIsEncrypted(false);
}

std::string CTdx880Document::PlainContent() const {
  rtl::Assert(!IsEncrypted(), "CTdx880Document.PlainContent of an encrypted document",
              "Tdx880Document");
  if (IsCompressed()) {
    return COsAbbreviaTool::UnpackDocument(content_);
  }
  return content_;
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

// --- Private ---

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
    content_ = ReadPackageFile(PackageConfig(), Entry().FileName());
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
  content_ = COsAbbreviaTool::PackDocument(kCompressedEntryName, content_);
  Entry().SetIsCompressed(true);
}

void CTdx880Document::Decompress() {
  if (!IsCompressed() || IsEncrypted()) {
    return;
  }
  content_ = COsAbbreviaTool::UnpackDocument(content_);
  Entry().SetIsCompressed(false);
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
