// The type library LyrTdxPackage880 as one table: interfaces, members in vtable slot order with
// their DISPIDs and parameters, enumerations and creatable classes. The interface header, the IDL
// text, IDispatch and ITypeInfo are all derived from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "lyr/com/types.h"

namespace lyr::automation {

enum class TypeKind : uint8_t { Interface, Enumeration, CoClass };

// The kind of a parameter or result value.
enum class ValueKind : uint8_t { None, Bool, Long, String, Enumeration, Interface };

// A value type; `type` is the index of the enumeration or interface in the library's types.
struct TypeRef {
  ValueKind kind = ValueKind::None;
  int16_t type = -1;
};

// A vtable slot: a method, a property get or a property put (a property with both is two slots,
// the get first, sharing one DISPID).
enum class MemberKind : uint8_t { Method, Get, Put };

struct Param {
  std::string_view name;  // empty for the value of a property put (unnamed in the library)
  TypeRef type;
};

inline constexpr std::size_t kMaxParams = 6;

struct Member {
  std::string_view name;
  DISPID dispid = 0;
  MemberKind kind = MemberKind::Method;
  std::array<Param, kMaxParams> params{};
  uint8_t param_count = 0;
  TypeRef result;                // ValueKind::None when the member has no retval
  std::string_view result_name;  // the retval parameter's name

  [[nodiscard]] std::span<const Param> Params() const { return {params.data(), param_count}; }
};

struct EnumValue {
  std::string_view name;
  int32_t value;
};

struct TypeDescription {
  std::string_view name;
  TypeKind kind = TypeKind::Interface;
  GUID guid{};
  int16_t parent = -1;              // interfaces: the parent library interface, -1 for IDispatch
  std::span<const Member> members;  // interfaces: own members in slot order
  std::span<const EnumValue> values;
  int16_t default_interface = -1;  // creatable classes
};

struct TypeLibrary {
  std::string_view name;
  GUID libid;
  uint16_t major_version;
  uint16_t minor_version;
  LCID lcid;
  std::string_view help_string;
  std::span<const TypeDescription> types;
};

// The library's type library.
const TypeLibrary& LyrTdxPackage880Library();

// Index of the first vtable slot after IDispatch's seven.
inline constexpr int kFirstOwnSlot = 7;

}  // namespace lyr::automation
