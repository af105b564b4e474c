// CValueCheckTool: every check's failure message, and the values each check lets through.
#include "rtl/value_check_tool.h"

#include <gtest/gtest.h>

#include <functional>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

using Tool = CValueCheckTool;

const int kObject = 0;

TEST(ValueCheckTool, EveryCheckFailsWithItsExactMessage) {
  const std::u8string range = u8"ошибка задания диапазона - минимальное значение";
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[] { Tool::CheckArgumentName(""); }, u8"Передан пустой аргумент: ArgumentName"},
      {[] { Tool::CheckAssigned(nullptr, "pKey"); }, u8"Передан пустой аргумент: pKey"},
      {[] { Tool::CheckAssigned(nullptr, "pKey", "CTdx880Crypt"); },
       u8"Передан пустой аргумент: CTdx880Crypt.pKey"},
      {[] { Tool::CheckNotEmpty("", "FormName", "CXMLGprDekl"); },
       u8"Передан пустой аргумент: CXMLGprDekl.FormName"},
      {[] { Tool::CheckMaxLength("", "ContentType", 10); },
       u8"Передан пустой аргумент: ContentType"},
      {[] { Tool::CheckMaxLength("12345678901", "ContentType", 10); },
       u8"Длина переменной [ContentType] больше [10]"},
      {[] { Tool::CheckMaxLength("abc", "Name", 2, "Cls"); },
       u8"Длина переменной [Cls.Name] больше [2]"},
      {[] { Tool::CheckLength("", "FormKnd", 7); }, u8"Передан пустой аргумент: FormKnd"},
      {[] { Tool::CheckLength("115100", "FormKnd", 7); },
       u8"Длина переменной [FormKnd = \"115100\"] должна быть равной [7]"},
      {[] { Tool::CheckLength("abc", "sha1", 40, "Tool"); },
       u8"Длина переменной [Tool.sha1 = \"abc\"] должна быть равной [40]"},
      {[] { Tool::CheckLength(Msg(u8"ИФНС"), "SonoAccount", 5); },
       u8"Длина переменной [SonoAccount = \"ИФНС\"] должна быть равной [5]"},
      {[] { Tool::CheckRange(0, 10, ""); }, u8"Передан пустой аргумент: ArgumentName"},
      {[] { Tool::CheckRange(5, 4, "Index"); },
       u8"Index: " + range + u8" (5) больше максимального(4)"},
      {[] { Tool::CheckValueInRange(0, 0, "Index", -1); },
       u8"Index: " + range + u8" (0) больше максимального(-1)"},
      {[] { Tool::CheckValueInRange(1, 0, "", 5); }, u8"Передан пустой аргумент: ArgumentName"},
      {[] { Tool::CheckValueInRange(3, 0, "Index", 2); },
       u8"Значение параметра Index (3) должно находиться в интервале от 0 до 2"},
      {[] { Tool::CheckValueInRange(-1, 0, "Index", 2); },
       u8"Значение параметра Index (-1) должно находиться в интервале от 0 до 2"},
      {[] { Tool::CheckValueInRange(9, 1, "Role", 4, "Key"); },
       u8"Значение параметра Key.Role (9) должно находиться в интервале от 1 до 4"},
      {[] { Tool::CheckLengthInRange(std::string(41, 'v'), 1, "ProgVersion", 40); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
      {[] { Tool::CheckLengthInRange("", 1, "ProgVersion", 40); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
      {[] { Tool::CheckLengthInRange("ab", 3, "Text", 2); },
       u8"Text: " + range + u8" (3) больше максимального(2)"},
      {[] { Tool::CheckLengthInRange("ab", 1, "", 2); }, u8"Передан пустой аргумент: ArgumentName"},
      {[] { Tool::CheckLengthInRange("abc", 1, "Code", 2, "Doc"); },
       u8"Doc.Code: длина строки должна быть от 1 до 2 символов"}};
  for (const auto& [check, message] : cases) {
    test::ExpectRaises(check, message);
  }
}

TEST(ValueCheckTool, AcceptableValuesPass) {
  EXPECT_NO_THROW(Tool::CheckArgumentName("x"));
  EXPECT_NO_THROW(Tool::CheckAssigned(&kObject, "pKey"));
  EXPECT_NO_THROW(Tool::CheckNotEmpty(" ", "content"));
  EXPECT_NO_THROW(Tool::CheckMaxLength("1234567890", "ContentType", 10));
  EXPECT_NO_THROW(Tool::CheckLength("1151001", "FormKnd", 7));
  EXPECT_NO_THROW(Tool::CheckLength(Msg(u8"ИФНС"), "SonoAccount", 4));
  EXPECT_NO_THROW(Tool::CheckRange(0, 0, "Index"));
  EXPECT_NO_THROW(Tool::CheckRange(-5, -5, "Index"));
  EXPECT_NO_THROW(Tool::CheckValueInRange(0, 0, "Index", 2));
  EXPECT_NO_THROW(Tool::CheckValueInRange(2, 0, "Index", 2));
  EXPECT_NO_THROW(Tool::CheckLengthInRange(std::string(40, 'v'), 1, "ProgVersion", 40));
  EXPECT_NO_THROW(Tool::CheckLengthInRange("v", 1, "ProgVersion", 40));
  EXPECT_NO_THROW(Tool::CheckLengthInRange("", 0, "PeriodCode", 2));
}

TEST(ValueCheckTool, LengthsCountWindows1251Characters) {
  // Four Cyrillic letters are four bytes in windows-1251 (eight in UTF-8).
  EXPECT_NO_THROW(Tool::CheckMaxLength(Msg(u8"Иван"), "Name", 4));
  EXPECT_NO_THROW(Tool::CheckLengthInRange(Msg(u8"Иван"), 4, "Name", 4));
}

}  // namespace
}  // namespace lyr::rtl
