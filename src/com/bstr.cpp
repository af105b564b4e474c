// BSTR allocation: a 4-byte byte length, the characters, and a 16-bit NUL, in one malloc block.
#include <cstdlib>
#include <cstring>

#include "lyr/com/com.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kTerminator = sizeof(OLECHAR);

// The start of the block that holds bstr.
char* BlockOf(BSTR bstr) {
  return reinterpret_cast<char*>(bstr) - kPrefix;
}

// Allocates a BSTR of byteLength bytes, copying them from bytes when it is not null (zeros
// otherwise), and writes the length prefix and the terminating NUL.
BSTR AllocateBytes(const void* bytes, uint64_t byteLength) {
  if (byteLength > UINT32_MAX - kPrefix - kTerminator) {
    return nullptr;
  }
  char* block = static_cast<char*>(std::malloc(kPrefix + byteLength + kTerminator));
  if (block == nullptr) {
    return nullptr;
  }
  const auto length = static_cast<uint32_t>(byteLength);
  std::memcpy(block, &length, kPrefix);
  char* data = block + kPrefix;
  if (bytes != nullptr) {
    std::memcpy(data, bytes, byteLength);
  } else {
    std::memset(data, 0, byteLength);
  }
  std::memset(data + byteLength, 0, kTerminator);
  return reinterpret_cast<BSTR>(data);
}

size_t Length(const OLECHAR* psz) {
  size_t n = 0;
  while (psz[n] != 0) {
    ++n;
  }
  return n;
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) {
    return nullptr;
  }
  return AllocateBytes(psz, uint64_t{Length(psz)} * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return AllocateBytes(strIn, uint64_t{ui} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return AllocateBytes(psz, len);
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) {
    return FALSE;
  }
  // Copy first: psz may point into the old string.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) {
    return FALSE;
  }
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) {
    return FALSE;
  }
  if (psz == nullptr) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  const size_t length = Length(psz);
  if (length > UINT32_MAX / sizeof(OLECHAR)) {
    return FALSE;
  }
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(length));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) {
    std::free(BlockOf(bstrString));
  }
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) {
    return 0;
  }
  uint32_t length = 0;
  std::memcpy(&length, BlockOf(bstr), kPrefix);
  return length;
}

UINT SysStringLen(BSTR pbstr) {
  return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

}  // extern "C"
