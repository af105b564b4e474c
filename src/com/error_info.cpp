// Error objects (IErrorInfo + ICreateErrorInfo) and the per-thread error slot.
#include "error_info.h"

#include <atomic>
#include <new>
#include <string>

#include "lyr/com/com.h"
#include "utf.h"

namespace lyr::com {
namespace {

// Copies a NUL-terminated string that may be NULL.
std::u16string CopyText(const OLECHAR* text) {
  return text != nullptr ? std::u16string(text) : u"";
}

HRESULT HandOut(const std::u16string& text, BSTR* out) {
  if (out == nullptr) {
    return E_INVALIDARG;
  }
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// One error object: the fields a failing member describes, readable through IErrorInfo.
class ErrorObject final : public IErrorInfo, public ICreateErrorInfo {
 public:
  // IUnknown (through IErrorInfo; ICreateErrorInfo's slots forward here).
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) {
      return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  // IErrorInfo
  HRESULT GetGUID(GUID* pGUID) override {
    if (pGUID == nullptr) {
      return E_INVALIDARG;
    }
    *pGUID = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* out) override { return HandOut(source_, out); }
  HRESULT GetDescription(BSTR* out) override { return HandOut(description_, out); }
  HRESULT GetHelpFile(BSTR* out) override { return HandOut(helpFile_, out); }
  HRESULT GetHelpContext(DWORD* out) override {
    if (out == nullptr) {
      return E_INVALIDARG;
    }
    *out = helpContext_;
    return S_OK;
  }

  // ICreateErrorInfo
  HRESULT SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR text) override { return Assign(&source_, text); }
  HRESULT SetDescription(LPOLESTR text) override { return Assign(&description_, text); }
  HRESULT SetHelpFile(LPOLESTR text) override { return Assign(&helpFile_, text); }
  HRESULT SetHelpContext(DWORD context) override {
    helpContext_ = context;
    return S_OK;
  }

 private:
  static HRESULT Assign(std::u16string* field, const OLECHAR* text) {
    try {
      *field = CopyText(text);
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  std::atomic<ULONG> references_{1};
  GUID guid_{};
  std::u16string source_;
  std::u16string description_;
  std::u16string helpFile_;
  DWORD helpContext_ = 0;
};

// The thread's error slot; the reference it holds is released when the thread ends.
struct ErrorSlot {
  IErrorInfo* info = nullptr;
  ~ErrorSlot() {
    if (info != nullptr) {
      info->Release();
    }
  }
};

thread_local ErrorSlot slot;

}  // namespace

void ReportError(std::string_view description) noexcept {
  try {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) {
      return;
    }
    std::u16string text = Utf8ToUtf16(description);
    std::u16string source = u"lyrcom";
    create->SetSource(source.data());
    create->SetDescription(text.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  } catch (...) {
    // Reporting is best effort: the caller's HRESULT still says what failed.
  }
}

void ClearThreadErrorInfo() noexcept {
  SetErrorInfo(0, nullptr);
}

}  // namespace lyr::com

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (pperrinfo == nullptr) {
    return E_INVALIDARG;
  }
  auto* object = new (std::nothrow) lyr::com::ErrorObject();
  *pperrinfo = object;
  return object != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) {
    return E_INVALIDARG;
  }
  if (perrinfo != nullptr) {
    perrinfo->AddRef();
  }
  IErrorInfo* old = lyr::com::slot.info;
  lyr::com::slot.info = perrinfo;
  if (old != nullptr) {
    old->Release();
  }
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (dwReserved != 0 || pperrinfo == nullptr) {
    return E_INVALIDARG;
  }
  // The caller takes over the slot's reference: the slot is empty afterwards.
  *pperrinfo = lyr::com::slot.info;
  lyr::com::slot.info = nullptr;
  return *pperrinfo != nullptr ? S_OK : S_FALSE;
}

}  // extern "C"
