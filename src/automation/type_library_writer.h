// Texts derived from the type library table: the public interface header for C and C++ hosts, the
// IDL text, and the server's table of invokers (one per vtable slot).
#pragma once

#include <string>

#include "automation/type_library.h"

namespace lyr::automation {

// include/lyr/tdx880/LyrTdxPackage880.h: GUIDs, enumerations, and every interface as a C++
// abstract class and as a C struct with its vtable, in slot order.
std::string InterfaceHeaderText(const TypeLibrary& library);

// include/lyr/tdx880/LyrTdxPackage880.idl: the library in IDL.
std::string IdlText(const TypeLibrary& library);

// The server's invoker table (a C++ fragment): for every interface, in slot order, the address of
// the invoker template instantiated for that member, and kInvokerTables indexed by type.
std::string InvokerTableText(const TypeLibrary& library);

// The server's InterfaceTraits specialisations (a C++ fragment): each interface's type index and
// IID.
std::string InterfaceTraitsText(const TypeLibrary& library);

// The C/C++ name of a vtable slot: the member's name, with get_ / put_ for property accessors.
std::string SlotName(const Member& member);

}  // namespace lyr::automation
