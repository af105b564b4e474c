// Invokers: one function per vtable slot, instantiated from the member's own C++ signature, that
// calls the slot with arguments already converted to their types (the dispatcher converts them
// from VARIANTs by the type library table; the invoker only places them).
#pragma once

#include <cstdint>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "lyr/tdx880/LyrTdxPackage880.h"

namespace lyr::automation {

// One argument or the result in the form the dispatcher works with: integers (long, booleans and
// enumerations) in `number`, strings in `text` (borrowed), objects in `object` (an interface
// pointer of the parameter's own interface for inputs; the result as an IDispatch for outputs).
struct CallSlot {
  int64_t number = 0;
  BSTR text = nullptr;
  void* object = nullptr;
  IDispatch* result_object = nullptr;
  alignas(8) unsigned char out[8] = {};  // storage the member writes its retval into
};

// Calls one vtable slot of the interface `self` (an IDispatch pointer to that interface or to one
// derived from it) with slots[0..n) as arguments; a retval goes to the last slot's fields.
using Invoker = HRESULT (*)(IDispatch* self, std::span<CallSlot> slots);

template <typename T>
inline constexpr bool kIsInterfacePointer =
    std::is_pointer_v<T>&& std::is_base_of_v<IUnknown, std::remove_pointer_t<T>>;

// An input argument of type T taken from its slot.
template <typename T>
T InputOf(CallSlot& slot) {
  if constexpr (std::is_same_v<T, BSTR>) {
    return slot.text;
  } else if constexpr (kIsInterfacePointer<T>) {
    // The dispatcher got the pointer from QueryInterface for this very interface.
    return static_cast<T>(slot.object);
  } else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>) {
    return static_cast<T>(slot.number);
  } else {
    static_assert(sizeof(T) == 0, "parameter type the dispatcher does not know");
  }
}

// The pointer that receives a retval of type T (T* in the signature), constructed in the slot.
template <typename T>
T* OutputOf(CallSlot& slot) {
  static_assert(sizeof(T) <= sizeof(slot.out) && alignof(T) <= 8);
  return ::new (static_cast<void*>(slot.out)) T{};
}

// After the call: the retval moved into the slot's common fields.
template <typename T>
void CollectOutput(CallSlot& slot) {
  T* value = std::launder(reinterpret_cast<T*>(slot.out));
  if constexpr (std::is_same_v<T, BSTR>) {
    slot.text = *value;
  } else if constexpr (kIsInterfacePointer<T>) {
    slot.result_object = *value;  // the interface's own IDispatch (single inheritance)
  } else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>) {
    slot.number = static_cast<int64_t>(*value);
  } else {
    static_assert(sizeof(T) == 0, "result type the dispatcher does not know");
  }
}

template <typename T>
inline constexpr bool kIsOutput =
    std::is_pointer_v<T> && !std::is_same_v<T, BSTR> && !kIsInterfacePointer<T>;

template <typename T>
decltype(auto) ArgumentOf(CallSlot& slot) {
  if constexpr (kIsOutput<T>) {
    return OutputOf<std::remove_pointer_t<T>>(slot);
  } else {
    return InputOf<T>(slot);
  }
}

template <auto Method>
struct InvokerOf;

template <typename Interface, typename... Args,
          HRESULT (STDMETHODCALLTYPE Interface::*Method)(Args...)>
struct InvokerOf<Method> {
  static HRESULT Call(IDispatch* self, std::span<CallSlot> slots) {
    if (slots.size() != sizeof...(Args)) {
      return DISP_E_BADPARAMCOUNT;
    }
    return CallWith(static_cast<Interface*>(self), slots, std::index_sequence_for<Args...>{});
  }

 private:
  template <std::size_t... K>
  static HRESULT CallWith(Interface* object, std::span<CallSlot> slots, std::index_sequence<K...>) {
    const HRESULT result = (object->*Method)(ArgumentOf<Args>(slots[K])...);
    (Collect<Args>(slots[K]), ...);
    return result;
  }

  template <typename T>
  static void Collect(CallSlot& slot) {
    if constexpr (kIsOutput<T>) {
      CollectOutput<std::remove_pointer_t<T>>(slot);
    }
  }
};

// Invokers of every interface's own slots, indexed by type (empty for other types).
std::span<const Invoker> InvokersOf(std::size_t type_index);

}  // namespace lyr::automation
