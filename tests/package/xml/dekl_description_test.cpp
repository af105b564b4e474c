// Tests of CXMLGprDeklDescription: exact text, optional elements, round trips, setters, reading.
#include "package/xml/xml_gpr_dekl_description.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "test_support.h"

namespace lyr::xml {
namespace {

using test::ExpectRaises;
using test::W;

void Fill(CXMLGprDeklDescription& description, uint8_t kind, const std::string& period) {
  description.SetFormName(W(u8"Декларация по НДС"));
  description.SetFormKnd("1151001");
  description.SetDeklKind(kind);
  description.SetYear("2024");
  description.SetPeriodCode(period);
  description.SetSonoAccount("7701");
  description.SetSonoSituation("7702");
}

TEST(DeklDescription, WritesEveryElementInOrder) {
  CXMLGprDeklDescription description;
  Fill(description, 1, "21");
  EXPECT_EQ(description.GetXML(),
            test::kDeclaration + W(u8"\r\n<описание>\r\n"
                                   u8"\t<имяФормы>Декларация по НДС</имяФормы>\r\n"
                                   u8"\t<КНДФормы>1151001</КНДФормы>\r\n"
                                   u8"\t<видДокумента>первичный</видДокумента>\r\n"
                                   u8"\t<год>2024</год>\r\n"
                                   u8"\t<кодПериода>21</кодПериода>\r\n"
                                   u8"\t<НОПоМестуУчета>7701</НОПоМестуУчета>\r\n"
                                   u8"\t<НОПоМестуНахождения>7702</НОПоМестуНахождения>\r\n"
                                   u8"</описание>\r\n"));
}

TEST(DeklDescription, KindNoneAndEmptyPeriodAreLeftOutAndReadBack) {
  CXMLGprDeklDescription description;
  Fill(description, 0, "");
  const std::string text = description.GetXML();
  EXPECT_EQ(text.find(W(u8"видДокумента")), std::string::npos);
  EXPECT_EQ(text.find(W(u8"кодПериода")), std::string::npos);
  CXMLGprDeklDescription read;
  read.SetXML(text);
  read.Read();
  EXPECT_EQ(read.GetXML(), text);
}

struct SetterCase {
  std::string name;
  std::function<void(CXMLGprDeklDescription&)> set;
  std::string message;
};

class DeklDescriptionSetter : public ::testing::TestWithParam<SetterCase> {};

TEST_P(DeklDescriptionSetter, RefusesAndKeepsValue) {
  CXMLGprDeklDescription description;
  Fill(description, 1, "21");
  ExpectRaises([&] { GetParam().set(description); }, GetParam().message);
  CXMLGprDeklDescription unchanged;
  Fill(unchanged, 1, "21");
  EXPECT_EQ(description.GetXML(), unchanged.GetXML());
}

// Reading text into another description fails with message.
SetterCase Reading(const std::string& name, const std::string& text, const std::string& message) {
  return {name,
          [text](CXMLGprDeklDescription&) {
            CXMLGprDeklDescription read;
            read.SetXML(text);
            read.Read();
          },
          message};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeklDescriptionSetter,
    ::testing::Values(
        Reading("OtherRoot", W(u8"<?xml version=\"1.0\"?>\r\n<опись/>"),
                W(u8"Не найден ожидаемый узел [описание] (вместо найденного <опись/>)")),
        Reading("Empty", "", W(u8"Не найден ожидаемый узел [описание] (вместо найденного )")),
        Reading("MissingYear",
                W(u8"<описание><имяФормы>a</имяФормы><КНДФормы>1</КНДФормы>"
                  u8"<НОПоМестуУчета>1</НОПоМестуУчета></описание>"),
                W(u8"Нет элемента с именем [год]")),
        Reading("NestedElement", W(u8"<описание><имяФормы><b/></имяФормы></описание>"),
                W(u8"В элементе [имяФормы] содержится не только текст")),
        SetterCase{"EmptyFormName", [](auto& d) { d.SetFormName(""); },
                   W(u8"Передан пустой аргумент: FormName")},
        SetterCase{"FormKndOfSix", [](auto& d) { d.SetFormKnd("115100"); },
                   W(u8"Длина переменной [FormKnd = \"115100\"] должна быть равной [7]")},
        SetterCase{"EmptyFormKnd", [](auto& d) { d.SetFormKnd(""); },
                   W(u8"Передан пустой аргумент: FormKnd")},
        SetterCase{"YearOfTwo", [](auto& d) { d.SetYear("24"); },
                   W(u8"Длина переменной [Year = \"24\"] должна быть равной [4]")},
        SetterCase{"PeriodOfThree", [](auto& d) { d.SetPeriodCode("123"); },
                   W(u8"PeriodCode: длина строки должна быть от 0 до 2 символов")},
        SetterCase{"SonoAccountOfFive", [](auto& d) { d.SetSonoAccount("77010"); },
                   W(u8"Длина переменной [SonoAccount = \"77010\"] должна быть равной [4]")},
        SetterCase{"EmptySonoSituation", [](auto& d) { d.SetSonoSituation(""); },
                   W(u8"Передан пустой аргумент: SonoSituation")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::xml
