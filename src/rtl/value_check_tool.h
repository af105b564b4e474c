// CValueCheckTool: the uniform argument checks of setters and public operations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Every check returns normally when the value is acceptable and otherwise raises an Exception
// with the uniform message; nothing is changed either way. Argument names are English; when a
// class name is given the displayed name is "Class.Argument". Lengths count the bytes of the
// windows-1251 text, one byte a character.
class CValueCheckTool final {
 public:
  CValueCheckTool() = delete;

  // An empty name fails with "Передан пустой аргумент: ArgumentName".
  static void CheckArgumentName(std::string_view name);

  // A null object fails with "Передан пустой аргумент: %s" (the name).
  static void CheckAssigned(const void* object, std::string_view name,
                            std::string_view class_name = {});

  // An empty text fails with "Передан пустой аргумент: %s" (the name).
  static void CheckNotEmpty(std::string_view text, std::string_view name,
                            std::string_view class_name = {});

  // An empty text fails as CheckNotEmpty; a text longer than maximum with
  // "Длина переменной [%s] больше [%d]" (name, maximum).
  static void CheckMaxLength(std::string_view text, std::string_view name, int64_t maximum,
                             std::string_view class_name = {});

  // An empty text fails as CheckNotEmpty; a text of another length with
  // "Длина переменной [%0:s = "%1:s"] должна быть равной [%2:d]" (name, text, length).
  static void CheckLength(std::string_view text, std::string_view name, int64_t length,
                          std::string_view class_name = {});

  // An empty name fails as CheckArgumentName; maximum below minimum with
  // "%0:s: ошибка задания диапазона - минимальное значение (%1:d) больше максимального(%2:d)".
  static void CheckRange(int64_t minimum, int64_t maximum, std::string_view name,
                         std::string_view class_name = {});

  // CheckRange first (so an empty range fails whatever the value); a value outside
  // minimum..maximum (inclusive) fails with
  // "Значение параметра %0:s (%1:d) должно находиться в интервале от %2:d до %3:d".
  static void CheckValueInRange(int64_t value, int64_t minimum, std::string_view name,
                                int64_t maximum, std::string_view class_name = {});

  // CheckRange first; a text whose length lies outside minimum..maximum fails with
  // "%0:s: длина строки должна быть от %1:d до %2:d символов" (name, minimum, maximum). With
  // minimum 0 the empty text passes.
  static void CheckLengthInRange(std::string_view text, int64_t minimum, std::string_view name,
                                 int64_t maximum, std::string_view class_name = {});

  // The name as messages show it: "%0:s.%1:s" (class, argument) or the argument alone.
  static std::string DisplayName(std::string_view name, std::string_view class_name);
};

}  // namespace lyr::rtl
