// The exported class-registry functions that servers call from
// DllRegisterServer/DllUnregisterServer.
#include <algorithm>
#include <cstring>
#include <new>

#include "class_registry.h"
#include "error_info.h"
#include "guid_text.h"
#include "lyr/com/com.h"

namespace {

using lyr::com::ClassEntry;
using lyr::com::RegistryError;

ClassEntry ToEntry(const LYRCOM_CLASS_ENTRY& in) {
  if (in.libraryPath == nullptr || in.threadingModel == nullptr) {
    throw RegistryError(E_INVALIDARG, "library path and threading model are required");
  }
  ClassEntry entry;
  entry.clsid = in.clsid;
  entry.libraryPath = in.libraryPath;
  entry.threadingModel = in.threadingModel;
  entry.progId = in.progId != nullptr ? in.progId : "";
  entry.typeLibId = in.typeLibId;
  entry.typeLibMajor = in.typeLibMajor;
  entry.typeLibMinor = in.typeLibMinor;
  lyr::com::ValidateEntry(entry);
  return entry;
}

// Puts entry into entries: replaces the class of the same CLSID, and takes its ProgID away from
// any other class that held it.
void Upsert(std::vector<ClassEntry>& entries, const ClassEntry& entry) {
  std::erase_if(entries, [&](const ClassEntry& e) { return IsEqualGUID(e.clsid, entry.clsid); });
  if (!entry.progId.empty()) {
    for (ClassEntry& other : entries) {
      if (lyr::com::SameProgId(other.progId, entry.progId)) {
        other.progId.clear();
      }
    }
  }
  entries.push_back(entry);
}

// Copies text into buffer at *used, returning where it starts.
const char* Pack(const std::string& text, char* buffer, UINT size, UINT* used) {
  if (text.size() + 1 > size - *used) {
    throw std::bad_alloc();
  }
  char* start = buffer + *used;
  std::memcpy(start, text.c_str(), text.size() + 1);
  *used += static_cast<UINT>(text.size() + 1);
  return start;
}

// Copies the path that path_of gives, with its terminating zero, into buffer of cbBuffer bytes;
// its length, or 0 when it does not fit or cannot be found.
UINT CopyRegistryPath(std::string (*path_of)(), char* buffer, UINT cbBuffer) {
  try {
    const std::string path = path_of();
    if (buffer == nullptr || path.size() + 1 > cbBuffer) {
      return 0;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<UINT>(path.size());
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" {

HRESULT LyrComRegisterClasses(const LYRCOM_CLASS_ENTRY* entries, UINT count) {
  return lyr::com::Guarded([&] {
    if (entries == nullptr && count != 0) {
      return E_INVALIDARG;
    }
    std::vector<ClassEntry> fresh;
    for (UINT i = 0; i < count; ++i) {
      fresh.push_back(ToEntry(entries[i]));
    }
    lyr::com::UpdateRegistry(lyr::com::RegistryPath(), [&](std::vector<ClassEntry>& all) {
      for (const ClassEntry& entry : fresh) {
        Upsert(all, entry);
      }
      return true;
    });
    return S_OK;
  });
}

HRESULT LyrComUnregisterServer(const char* libraryPath) {
  return lyr::com::Guarded([&] {
    if (libraryPath == nullptr || *libraryPath == '\0') {
      return E_INVALIDARG;
    }
    size_t removed = 0;
    lyr::com::UpdateRegistry(lyr::com::RegistryPath(), [&](std::vector<ClassEntry>& all) {
      removed =
          std::erase_if(all, [&](const ClassEntry& e) { return e.libraryPath == libraryPath; });
      return removed > 0;
    });
    return removed > 0 ? S_OK : S_FALSE;
  });
}

HRESULT LyrComUnregisterClass(REFCLSID rclsid) {
  return lyr::com::Guarded([&] {
    size_t removed = 0;
    lyr::com::UpdateRegistry(lyr::com::RegistryPath(), [&](std::vector<ClassEntry>& all) {
      removed =
          std::erase_if(all, [&](const ClassEntry& e) { return IsEqualGUID(e.clsid, rclsid); });
      return removed > 0;
    });
    return removed > 0 ? S_OK : S_FALSE;
  });
}

HRESULT LyrComQueryClass(REFCLSID rclsid, LYRCOM_CLASS_ENTRY* entry, char* buffer, UINT cbBuffer) {
  return lyr::com::Guarded([&] {
    if (entry == nullptr || buffer == nullptr) {
      return E_INVALIDARG;
    }
    const auto registry = lyr::com::ClassesInForce();  // kept alive for the loop
    for (const ClassEntry& e : *registry) {
      if (IsEqualGUID(e.clsid, rclsid)) {
        UINT used = 0;
        entry->clsid = e.clsid;
        entry->libraryPath = Pack(e.libraryPath, buffer, cbBuffer, &used);
        entry->threadingModel = Pack(e.threadingModel, buffer, cbBuffer, &used);
        entry->progId = Pack(e.progId, buffer, cbBuffer, &used);
        entry->typeLibId = e.typeLibId;
        entry->typeLibMajor = e.typeLibMajor;
        entry->typeLibMinor = e.typeLibMinor;
        return S_OK;
      }
    }
    return REGDB_E_CLASSNOTREG;
  });
}

UINT LyrComRegistryPath(char* buffer, UINT cbBuffer) {
  return CopyRegistryPath(&lyr::com::RegistryPath, buffer, cbBuffer);
}

UINT LyrComMachineRegistryPath(char* buffer, UINT cbBuffer) {
  return CopyRegistryPath(&lyr::com::MachineRegistryPath, buffer, cbBuffer);
}

}  // extern "C"
