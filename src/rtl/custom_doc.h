// CCustomDoc: base of document-like objects with the open/close/save lifecycle.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/base_class.h"

namespace lyr::rtl {

// A document passes from closed to opened by Open or New and back by Close.
//
// Closing on destruction: a C++ destructor cannot dispatch to an override of a class whose part
// is already destroyed, so the base destructor only runs the base Close. Every document class
// that overrides Close therefore calls CloseOnDestroy() in its own destructor; Close must be
// idempotent (closing a closed document does nothing), since a class and its base may both do so.
class CCustomDoc : public CBaseClass {
 public:
  CCustomDoc() = default;
  ~CCustomDoc() override;
  CCustomDoc(const CCustomDoc&) = delete;
  CCustomDoc& operator=(const CCustomDoc&) = delete;

  // Runs Close; when it succeeds, remembers source (not owned, may be null; the caller keeps it
  // alive while the document is open). Returns the result of Close. Guarded.
  virtual bool Open(CBaseClass* source);
  // The base returns the negation of ReservedFlag (true).
  virtual bool Close();
  // Abstract; the base implementation fails the program check "CCustomDoc.IsDocumentOpened".
  [[nodiscard]] virtual bool IsDocumentOpened() const = 0;
  // The base runs Close and returns its result (source is not remembered). Guarded.
  virtual bool New(CBaseClass* source);
  // The base returns the negation of ReservedFlag (true).
  virtual bool Save();
  // The base returns false.
  virtual bool SaveAs(const std::string& file_name);

  // Reserved queries; no class gives them another meaning: 0, false, "", and ReservedText().
  [[nodiscard]] virtual int32_t ReservedQuery() const;
  [[nodiscard]] virtual bool ReservedFlag() const;
  [[nodiscard]] virtual std::string ReservedText() const;
  [[nodiscard]] virtual std::string ReservedTextAlias() const;

  // The source of the last successful Open (null before).
  [[nodiscard]] CBaseClass* Source() const noexcept { return source_; }
  // The source as T; null when there is none or it is of another class.
  template <typename T>
  [[nodiscard]] T* SourceAs() const noexcept {
    return dynamic_cast<T*>(source_);
  }

 protected:
  // For the destructor of a class that overrides Close: runs Close (the override of the class
  // being destroyed); an error is not passed on (a destructor cannot fail).
  void CloseOnDestroy() noexcept;

 private:
  CBaseClass* source_ = nullptr;
};

}  // namespace lyr::rtl
