// CCustomDoc: base behaviours of the document lifecycle.
#include "rtl/custom_doc.h"

#include "rtl/errors.h"

namespace lyr::rtl {

// Only the base Close can run here: the parts of derived classes are gone (see the header).
CCustomDoc::~CCustomDoc() {
  CCustomDoc::Close();
}

bool CCustomDoc::Open(CBaseClass* source) {
  return Guarded([&] {
    if (!Close()) {
      return false;
    }
    source_ = source;
    return true;
  });
}

bool CCustomDoc::Close() {
  return !ReservedFlag();
}

bool CCustomDoc::IsDocumentOpened() const {
  Assert(false, "CCustomDoc.IsDocumentOpened", "CustomDoc");
  return false;
}

bool CCustomDoc::New(CBaseClass* /*source*/) {
  return Guarded([&] { return Close(); });
}

bool CCustomDoc::Save() {
  return !ReservedFlag();
}

bool CCustomDoc::SaveAs(const std::string& /*file_name*/) {
  return false;
}

int32_t CCustomDoc::ReservedQuery() const {
  return 0;
}

bool CCustomDoc::ReservedFlag() const {
  return false;
}

std::string CCustomDoc::ReservedText() const {
  return {};
}

std::string CCustomDoc::ReservedTextAlias() const {
  return ReservedText();
}

void CCustomDoc::CloseOnDestroy() noexcept {
  try {
    Close();
  } catch (...) {
    // Already traced by the raise routine; nothing else can be done while destroying.
  }
}

}  // namespace lyr::rtl
