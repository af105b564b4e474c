// CTdx880Signature: the lifecycle of a stored signature file.
#include "package/tdx880_signature.h"

#include "crypt/tdx880_crypto_tool.h"
#include "package/package_file.h"
#include "package/xml/xml_gpr_signature.h"
#include "rtl/errors.h"
#include "rtl/identifiers.h"
#include "rtl/value_check_tool.h"

namespace lyr::package {

using rtl::Msg;

CTdx880Signature::CTdx880Signature()
    : crypto_available_(crypt::CTdx880CryptoTool::IsCryptographyOk()) {}

CTdx880Signature::~CTdx880Signature() {
  CloseOnDestroy();
}

bool CTdx880Signature::Open(rtl::CBaseClass* source) {
  return Guarded([&] {
    if (!Close()) {
      return false;
    }
    Bind(source);
    try {
      if (!entry_->FileName().empty()) {
        content_ = ReadPackageFile(*config_.PackageConfig(), entry_->FileName());
        if (crypto_available_) {
          SetSigner(crypt::CTdx880CryptoTool::SignerFromSignature(content_), entry_->Role());
        }
      }
      key_.SetSignRole(entry_->Role());
    } catch (...) {
      Close();
      throw;
    }
    return true;
  });
}

bool CTdx880Signature::Close() {
  return Guarded([&] {
    content_.clear();
    key_ = crypt::CTdx880Key();
    signers_.Clear();
    entry_ = nullptr;
    config_.Assign(CTdx880ItemConfig());
    return true;
  });
}

bool CTdx880Signature::IsDocumentOpened() const {
  return entry_ != nullptr;
}

bool CTdx880Signature::New(rtl::CBaseClass* source) {
  return Guarded([&] {
    if (IsDocumentOpened()) {
      rtl::Raise(Msg(u8"Документ уже открыт, операция невозможна"));
    }
    Bind(source);
    NameFileWhenUnnamed();
    return true;
  });
}

bool CTdx880Signature::Save() {
  return Guarded([&] {
    NameFileWhenUnnamed();
    WritePackageFile(*config_.PackageConfig(), Entry().FileName(), content_);
    return true;
  });
}

const std::string& CTdx880Signature::FileName() const {
  return Entry().FileName();
}

void CTdx880Signature::SetFileName(std::string file_name) {
  Entry().SetFileName(std::move(file_name));
}

SubjectCode CTdx880Signature::Role() const {
  return Entry().Role();
}

void CTdx880Signature::SetSigner(const crypt::SignatureSigner& signer, SubjectCode role) {
  crypt::CTdx880Key key;
  key.SetSha1(signer.sha1);
  key.SetSubjectCN(signer.subject_cn);
  key.SetCertificateBody(signer.certificate_body);
  key.SetSignRole(role);
  key_ = std::move(key);
}

// The configuration is copied; its entry must be a signature entry and its package configuration
// present (misuse by the calling code otherwise).
void CTdx880Signature::Bind(rtl::CBaseClass* source) {
  const auto* config = dynamic_cast<const CTdx880ItemConfig*>(source);
  rtl::CValueCheckTool::CheckAssigned(config, "ItemConfig");
  auto* entry = dynamic_cast<xml::CXMLGprSignature*>(config->Entry());
  rtl::Assert(entry != nullptr && config->PackageConfig() != nullptr,
              "CTdx880Signature: the configuration has no signature entry", "Tdx880Signature");
  config_.Assign(*config);
  entry_ = entry;
}

xml::CXMLGprSignature& CTdx880Signature::Entry() const {
  if (entry_ == nullptr) {
    rtl::Raise(Msg(u8"Документ не открыт"));
  }
  return *entry_;
}

void CTdx880Signature::NameFileWhenUnnamed() {
  if (Entry().FileName().empty()) {
    Entry().SetFileName(rtl::Format("%s.bin", rtl::NewFileId()));
  }
}

}  // namespace lyr::package
