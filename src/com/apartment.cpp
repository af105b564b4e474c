// CoInitialize(Ex)/CoUninitialize: a per-thread count and threading model, as ole32 keeps them.
#include "apartment.h"

#include "error_info.h"
#include "lyr/com/com.h"

namespace lyr::com {
namespace {

struct Apartment {
  ULONG count = 0;  // successful CoInitialize(Ex) calls not yet balanced
  DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local Apartment apartment;

constexpr DWORD kKnownFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

}  // namespace

bool IsThreadInitialized() noexcept {
  return apartment.count > 0;
}

}  // namespace lyr::com

extern "C" {

HRESULT CoInitializeEx(LPVOID /*pvReserved*/, DWORD dwCoInit) {
  if ((dwCoInit & ~lyr::com::kKnownFlags) != 0) {
    return E_INVALIDARG;
  }
  const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  lyr::com::Apartment& apartment = lyr::com::apartment;
  if (apartment.count > 0 && apartment.model != model) {
    return RPC_E_CHANGED_MODE;
  }
  apartment.model = model;
  return apartment.count++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
  lyr::com::Apartment& apartment = lyr::com::apartment;
  if (apartment.count == 0) {
    return;
  }
  if (--apartment.count == 0) {
    lyr::com::ClearThreadErrorInfo();
  }
}

}  // extern "C"
