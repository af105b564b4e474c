// CValueCheckTool: every check's failure message, and the values each check lets through.
#include "rtl/value_check_tool.h"

#include <gtest/gtest.h>

#include <functional>

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::rtl {
namespace {

using Tool = CValueCheckTool;

struct FailCase {
  std::string name;
  std::function<void()> check;
  std::u8string expected;
};

class ValueCheckFailures : public ::testing::TestWithParam<FailCase> {};

const int kObject = 0;

INSTANTIATE_TEST_SUITE_P(
    Checks, ValueCheckFailures,
    ::testing::Values(
        FailCase{"EmptyArgumentName", [] { Tool::CheckArgumentName(""); },
                 u8"Передан пустой аргумент: ArgumentName"},
        FailCase{"NotAssigned", [] { Tool::CheckAssigned(nullptr, "pKey"); },
                 u8"Передан пустой аргумент: pKey"},
        FailCase{"NotAssignedQualified",
                 [] { Tool::CheckAssigned(nullptr, "pKey", "CTdx880Crypt"); },
                 u8"Передан пустой аргумент: CTdx880Crypt.pKey"},
        FailCase{"Empty", [] { Tool::CheckNotEmpty("", "content"); },
                 u8"Передан пустой аргумент: content"},
        FailCase{"EmptyQualified", [] { Tool::CheckNotEmpty("", "FormName", "CXMLGprDekl"); },
                 u8"Передан пустой аргумент: CXMLGprDekl.FormName"},
        FailCase{"MaxLengthOfEmpty", [] { Tool::CheckMaxLength("", "ContentType", 10); },
                 u8"Передан пустой аргумент: ContentType"},
        FailCase{"MaxLengthExceeded",
                 [] { Tool::CheckMaxLength("12345678901", "ContentType", 10); },
                 u8"Длина переменной [ContentType] больше [10]"},
        FailCase{"MaxLengthQualified", [] { Tool::CheckMaxLength("abc", "Name", 2, "Cls"); },
                 u8"Длина переменной [Cls.Name] больше [2]"},
        FailCase{"ExactLengthOfEmpty", [] { Tool::CheckLength("", "FormKnd", 7); },
                 u8"Передан пустой аргумент: FormKnd"},
        FailCase{"FormKndOfSixCharacters", [] { Tool::CheckLength("115100", "FormKnd", 7); },
                 u8"Длина переменной [FormKnd = \"115100\"] должна быть равной [7]"},
        FailCase{"ExactLengthTooLong", [] { Tool::CheckLength("77010", "Identifier", 4); },
                 u8"Длина переменной [Identifier = \"77010\"] должна быть равной [4]"},
        FailCase{"ExactLengthQualified", [] { Tool::CheckLength("abc", "sha1", 40, "Tool"); },
                 u8"Длина переменной [Tool.sha1 = \"abc\"] должна быть равной [40]"},
        FailCase{"RangeNameEmpty", [] { Tool::CheckRange(0, 10, ""); },
                 u8"Передан пустой аргумент: ArgumentName"},
        FailCase{"RangeReversed", [] { Tool::CheckRange(5, 4, "Index"); },
                 u8"Index: ошибка задания диапазона - минимальное значение (5) больше "
                 u8"максимального(4)"},
        FailCase{"ValueInEmptyRange", [] { Tool::CheckValueInRange(0, 0, "Index", -1); },
                 u8"Index: ошибка задания диапазона - минимальное значение (0) больше "
                 u8"максимального(-1)"},
        FailCase{"OtherValueInEmptyRange", [] { Tool::CheckValueInRange(-1, 0, "Index", -1); },
                 u8"Index: ошибка задания диапазона - минимальное значение (0) больше "
                 u8"максимального(-1)"},
        FailCase{"ValueInRangeNameEmpty", [] { Tool::CheckValueInRange(1, 0, "", 5); },
                 u8"Передан пустой аргумент: ArgumentName"},
        FailCase{"ValueAboveRange", [] { Tool::CheckValueInRange(3, 0, "Index", 2); },
                 u8"Значение параметра Index (3) должно находиться в интервале от 0 до 2"},
        FailCase{"ValueBelowRange", [] { Tool::CheckValueInRange(-1, 0, "Index", 2); },
                 u8"Значение параметра Index (-1) должно находиться в интервале от 0 до 2"},
        FailCase{"ValueQualified", [] { Tool::CheckValueInRange(9, 1, "Role", 4, "Key"); },
                 u8"Значение параметра Key.Role (9) должно находиться в интервале от 1 до 4"},
        FailCase{"ProgVersionOf41Characters",
                 [] { Tool::CheckLengthInRange(std::string(41, 'v'), 1, "ProgVersion", 40); },
                 u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
        FailCase{"EmptyTextBelowMinimumOne",
                 [] { Tool::CheckLengthInRange("", 1, "ProgVersion", 40); },
                 u8"ProgVersion: длина строки должна быть от 1 до 40 символов"},
        FailCase{"PeriodCodeOfThree", [] { Tool::CheckLengthInRange("123", 0, "PeriodCode", 2); },
                 u8"PeriodCode: длина строки должна быть от 0 до 2 символов"},
        FailCase{"LengthInReversedRange", [] { Tool::CheckLengthInRange("ab", 3, "Text", 2); },
                 u8"Text: ошибка задания диапазона - минимальное значение (3) больше "
                 u8"максимального(2)"},
        FailCase{"LengthInRangeNameEmpty", [] { Tool::CheckLengthInRange("ab", 1, "", 2); },
                 u8"Передан пустой аргумент: ArgumentName"},
        FailCase{"LengthQualified", [] { Tool::CheckLengthInRange("abc", 1, "Code", 2, "Doc"); },
                 u8"Doc.Code: длина строки должна быть от 1 до 2 символов"}),
    [](const auto& info) { return info.param.name; });

TEST_P(ValueCheckFailures, RaiseExactMessage) {
  try {
    GetParam().check();
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), Msg(GetParam().expected));
  }
}

TEST(ValueCheckTool, ExactLengthMessageShowsTheValueAsGiven) {
  const std::string value = Msg(u8"ИФНС");
  try {
    Tool::CheckLength(value, "SonoAccount", 5);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(),
              Msg(u8"Длина переменной [SonoAccount = \"ИФНС\"] должна быть равной [5]"));
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
