// The class factories of the creatable classes: one multi-instance factory per class, made when
// the library is loaded.
#pragma once

#include <span>
#include <string_view>

#include "lyr/com/com.h"

namespace lyr::automation {

// A creatable class: its CLSID, its ProgID, and how to make one initialised object.
struct CreatableClass {
  const CLSID* clsid;
  std::u16string_view prog_id;
  // A new object (one reference for the caller) as IUnknown; throws on failure.
  IUnknown* (*create)();
};

// The classes this server registers and serves.
std::span<const CreatableClass> CreatableClasses();

// The factory of a class, or null for an unknown CLSID (a static object: its references do not
// keep the library loaded; LockServer does).
IClassFactory* ClassFactoryOf(REFCLSID clsid) noexcept;

// An object of a creatable class made through the library's own class factory, exactly as a
// host's CoCreateInstance makes it, as the interface iid (one reference for the caller). Raises
// "Cannot create an object of class %s: 0x%.8x" (the CLSID) when there is no such class or the
// factory fails.
void* CreateByClassFactory(REFCLSID clsid, REFIID iid);

}  // namespace lyr::automation
