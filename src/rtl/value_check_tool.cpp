// The argument checks and their messages.
#include "rtl/value_check_tool.h"

#include "rtl/errors.h"

namespace lyr::rtl {

std::string CValueCheckTool::DisplayName(std::string_view name, std::string_view class_name) {
  if (class_name.empty()) {
    return std::string(name);
  }
  return Format("%0:s.%1:s", class_name, name);
}

void CValueCheckTool::CheckArgumentName(std::string_view name) {
  if (name.empty()) {
    RaiseFmt(u8"Передан пустой аргумент: %s", "ArgumentName");
  }
}

void CValueCheckTool::CheckAssigned(const void* object, std::string_view name,
                                    std::string_view class_name) {
  if (object == nullptr) {
    RaiseFmt(u8"Передан пустой аргумент: %s", DisplayName(name, class_name));
  }
}

void CValueCheckTool::CheckNotEmpty(std::string_view text, std::string_view name,
                                    std::string_view class_name) {
  if (text.empty()) {
    RaiseFmt(u8"Передан пустой аргумент: %s", DisplayName(name, class_name));
  }
}

void CValueCheckTool::CheckMaxLength(std::string_view text, std::string_view name, int64_t maximum,
                                     std::string_view class_name) {
  CheckNotEmpty(text, name, class_name);
  if (static_cast<int64_t>(text.size()) > maximum) {
    RaiseFmt(u8"Длина переменной [%s] больше [%d]", DisplayName(name, class_name), maximum);
  }
}

void CValueCheckTool::CheckLength(std::string_view text, std::string_view name, int64_t length,
                                  std::string_view class_name) {
  CheckNotEmpty(text, name, class_name);
  if (static_cast<int64_t>(text.size()) != length) {
    RaiseFmt(u8"Длина переменной [%0:s = \"%1:s\"] должна быть равной [%2:d]",
             DisplayName(name, class_name), text, length);
  }
}

void CValueCheckTool::CheckRange(int64_t minimum, int64_t maximum, std::string_view name,
                                 std::string_view class_name) {
  CheckArgumentName(name);
  if (maximum < minimum) {
    RaiseFmt(
        u8"%0:s: ошибка задания диапазона - минимальное значение (%1:d) больше максимального(%2:d)",
        DisplayName(name, class_name), minimum, maximum);
  }
}

void CValueCheckTool::CheckValueInRange(int64_t value, int64_t minimum, std::string_view name,
                                        int64_t maximum, std::string_view class_name) {
  CheckRange(minimum, maximum, name, class_name);
  if (value < minimum || value > maximum) {
    RaiseFmt(u8"Значение параметра %0:s (%1:d) должно находиться в интервале от %2:d до %3:d",
             DisplayName(name, class_name), value, minimum, maximum);
  }
}

void CValueCheckTool::CheckLengthInRange(std::string_view text, int64_t minimum,
                                         std::string_view name, int64_t maximum,
                                         std::string_view class_name) {
  CheckRange(minimum, maximum, name, class_name);
  const auto length = static_cast<int64_t>(text.size());
  if (length < minimum || length > maximum) {
    RaiseFmt(u8"%0:s: длина строки должна быть от %1:d до %2:d символов",
             DisplayName(name, class_name), minimum, maximum);
  }
}

}  // namespace lyr::rtl
