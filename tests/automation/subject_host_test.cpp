// Subject and declaration-description objects made by the Manager, driven by a host through the
// public headers: every check with its message, FIO split and join, DeklKind, the XML round trip,
// and SafeMode of the objects the Manager hands out.
#include <gtest/gtest.h>

#include <string>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "server_host.h"
#include "support/expect_error_info.h"

namespace {

using lyr::test::ExpectErrorInfo;
using lyr::test::TakeBstr;
using lyr::test::TakeErrorDescription;

using lyr::automation::host::Text;

class Subjects : public lyr::automation::host::ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    manager_ = Create<ITdx880Manager>(u"LyrTdxPackage880.Tdx880Manager", IID_ITdx880Manager);
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    if (manager_ != nullptr) {
      manager_->Release();
    }
    ServerHost::TearDown();
  }

  ITdx880Manager* manager_ = nullptr;
};

TEST_F(Subjects, OrganisationIdentifierHasOneToFortySixCharacters) {
  ITdx880SubjectUL* ul = nullptr;
  ASSERT_EQ(manager_->CreateSubjectUL(&ul), S_OK);
  EXPECT_EQ(ul->put_Indentifier(Text(std::u16string(46, u'И')).value), S_OK);
  ExpectErrorInfo(ul->put_Indentifier(Text(std::u16string(47, u'И')).value), E_UNEXPECTED,
                  u"Identifier: длина строки должна быть от 1 до 46 символов");
  ul->Release();
}

TEST_F(Subjects, OrganisationInnIsCheckedForLengthThenCheckDigit) {
  ITdx880SubjectUL* ul = nullptr;
  ASSERT_EQ(manager_->CreateSubjectUL(&ul), S_OK);
  EXPECT_EQ(ul->put_Inn(Text(u"7707083893").value), S_OK);
  ExpectErrorInfo(ul->put_Inn(Text(u"7707083894").value), E_UNEXPECTED, u"Неверный ИНН");
  ExpectErrorInfo(ul->put_Inn(Text(u"77070838931").value), E_UNEXPECTED,
                  u"Длина переменной [Inn = \"77070838931\"] должна быть равной [10]");
  EXPECT_EQ(ul->put_Kpp(Text(u"770701001").value), S_OK);
  ExpectErrorInfo(ul->put_Kpp(Text(u"77070100").value), E_UNEXPECTED,
                  u"Длина переменной [Kpp = \"77070100\"] должна быть равной [9]");
  ExpectErrorInfo(ul->put_Name(Text(u"").value), E_UNEXPECTED,
                  u"Name: длина строки должна быть от 1 до 1000 символов");
  BSTR value = nullptr;
  ASSERT_EQ(ul->get_Inn(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"7707083893");
  ul->Release();
}

TEST_F(Subjects, PersonFioSplitsIntoThreeNamesAndJoinsWithBlanks) {
  ITdx880SubjectFL* fl = nullptr;
  ASSERT_EQ(manager_->CreateSubjectFL(&fl), S_OK);
  ASSERT_EQ(fl->put_FIO(Text(u"Иванов Иван Иванович").value), S_OK);
  BSTR value = nullptr;
  ASSERT_EQ(fl->get_LName(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"Иванов");
  ASSERT_EQ(fl->get_FName(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"Иван");
  ASSERT_EQ(fl->get_MName(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"Иванович");

  ASSERT_EQ(fl->put_FIO(Text(u"Петров_Пётр").value), S_OK);
  ASSERT_EQ(fl->get_MName(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"");
  ASSERT_EQ(fl->get_FIO(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"Петров Пётр ");
  fl->Release();
}

TEST_F(Subjects, DeclarationDescriptionChecksItsValues) {
  ITdx880TrDekl* declaration = nullptr;
  ASSERT_EQ(manager_->CreateTrDekl(&declaration), S_OK);
  ExpectErrorInfo(declaration->put_Year(Text(u"202").value), E_UNEXPECTED,
                  u"Длина переменной [Year = \"202\"] должна быть равной [4]");
  EXPECT_EQ(declaration->put_PeriodCode(Text(u"").value), S_OK);
  ExpectErrorInfo(declaration->put_PeriodCode(Text(u"123").value), E_UNEXPECTED,
                  u"PeriodCode: длина строки должна быть от 0 до 2 символов");
  ExpectErrorInfo(declaration->put_FormName(Text(u"").value), E_UNEXPECTED,
                  u"Передан пустой аргумент: FormName");
  ExpectErrorInfo(declaration->put_SonoAccount(Text(u"").value), E_UNEXPECTED,
                  u"Передан пустой аргумент: SonoAccount");
  declaration->Release();
}

TEST_F(Subjects, DeclarationDescriptionXmlRoundTripReproducesEveryValue) {
  ITdx880TrDekl* first = nullptr;
  ASSERT_EQ(manager_->CreateTrDekl(&first), S_OK);
  ASSERT_EQ(first->put_FormName(Text(u"Налоговая декларация по НДС").value), S_OK);
  ASSERT_EQ(first->put_FormKnd(Text(u"1151001").value), S_OK);
  ASSERT_EQ(first->put_DeklKind(DEKL_KIND_TYPE_PRIMARY), S_OK);
  ASSERT_EQ(first->put_Year(Text(u"2026").value), S_OK);
  ASSERT_EQ(first->put_PeriodCode(Text(u"21").value), S_OK);
  ASSERT_EQ(first->put_SonoAccount(Text(u"7701").value), S_OK);
  ASSERT_EQ(first->put_SonoSituation(Text(u"7702").value), S_OK);
  BSTR xml = nullptr;
  ASSERT_EQ(first->get_XML(&xml), S_OK);

  ITdx880TrDekl* second = nullptr;
  ASSERT_EQ(manager_->CreateTrDekl(&second), S_OK);
  ASSERT_EQ(second->put_XML(xml), S_OK);
  ::SysFreeString(xml);
  BSTR value = nullptr;
  ASSERT_EQ(second->get_FormName(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"Налоговая декларация по НДС");
  ASSERT_EQ(second->get_FormKnd(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"1151001");
  DEKL_KIND_TYPES kind = DEKL_KIND_TYPE_NONE;
  ASSERT_EQ(second->get_DeklKind(&kind), S_OK);
  EXPECT_EQ(kind, DEKL_KIND_TYPE_PRIMARY);
  ASSERT_EQ(second->get_Year(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"2026");
  ASSERT_EQ(second->get_PeriodCode(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"21");
  ASSERT_EQ(second->get_SonoAccount(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"7701");
  ASSERT_EQ(second->get_SonoSituation(&value), S_OK);
  EXPECT_EQ(TakeBstr(value), u"7702");
  first->Release();
  second->Release();
}

TEST_F(Subjects, MalformedXmlIsRejectedWithTheReadersError) {
  ITdx880TrDekl* declaration = nullptr;
  ASSERT_EQ(manager_->CreateTrDekl(&declaration), S_OK);
  EXPECT_EQ(declaration->put_XML(Text(u"<описание").value), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_NE(TakeErrorDescription(), u"(no error information)");
  declaration->Release();
}

}  // namespace
