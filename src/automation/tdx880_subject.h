// The subject models: a participant of the exchange (organisation, person, tax authority, special
// operator) whose every value is checked when it is set, against the limits of
// package/xml/participant_limits.h (limits:: below).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/base_class.h"

namespace lyr::xml {
class CXMLGprMemberInfo;
}

namespace lyr::automation {

// Identifier and Email, common to every kind. Strings are windows-1251.
class CTdx880Subject : public rtl::CBaseClass {
 public:
  [[nodiscard]] const std::string& Identifier() const noexcept { return identifier_; }
  // Checked by the kind's ValidateIdentifier.
  void SetIdentifier(std::string value);
  [[nodiscard]] const std::string& Email() const noexcept { return email_; }
  // limits::kEmail: 0 to 255 characters ("Email").
  void SetEmail(std::string value);

  // Checks a new Identifier: limits::kIdentifier, 1 to 46 characters ("Identifier").
  virtual void ValidateIdentifier(std::string_view value) const;
  // Writes the subject into a participant of a service document: its "E-mail" is Email, or the
  // Identifier when Email is empty.
  virtual void Fill(xml::CXMLGprMemberInfo& participant) const;
  // What stands for the subject in file names: the Identifier.
  [[nodiscard]] virtual std::string Key() const;
  // The exchange role, a SIGN_ROLE_TYPES value: 1 tax payer, 2 tax authority, 3 special operator.
  [[nodiscard]] virtual uint8_t Role() const = 0;

 private:
  std::string identifier_;
  std::string email_;
};

// An organisation.
class CTdx880SubjectUL final : public CTdx880Subject {
 public:
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  // limits::kOrganisationName: 1 to 1000 characters ("Name").
  void SetName(std::string value);
  [[nodiscard]] const std::string& Inn() const noexcept { return inn_; }
  // limits::kOrganisationInn: exactly 10 characters ("Inn"), a valid INN ("Неверный ИНН").
  void SetInn(std::string value);
  [[nodiscard]] const std::string& Kpp() const noexcept { return kpp_; }
  // limits::kKpp: exactly 9 characters ("Kpp"), never empty.
  void SetKpp(std::string value);

  void Fill(xml::CXMLGprMemberInfo& participant) const override;
  // Inn followed by Kpp.
  [[nodiscard]] std::string Key() const override;
  [[nodiscard]] uint8_t Role() const override { return 1; }

 private:
  std::string name_;
  std::string inn_;
  std::string kpp_;
};

// A private person.
class CTdx880SubjectFL final : public CTdx880Subject {
 public:
  [[nodiscard]] const std::string& LName() const noexcept { return last_name_; }
  // limits::kLastName: 1 to 60 characters ("LName").
  void SetLName(std::string value);
  [[nodiscard]] const std::string& FName() const noexcept { return first_name_; }
  // limits::kFirstName: 1 to 60 characters ("FName").
  void SetFName(std::string value);
  [[nodiscard]] const std::string& MName() const noexcept { return middle_name_; }
  // limits::kMiddleName: 0 to 60 characters ("MName").
  void SetMName(std::string value);
  [[nodiscard]] const std::string& Inn() const noexcept { return inn_; }
  // limits::kPersonInn: exactly 12 characters ("Inn"), a valid INN ("Неверный ИНН").
  void SetInn(std::string value);
  // "LName FName MName" (an empty MName leaves a trailing blank).
  [[nodiscard]] std::string FIO() const;
  // Splits the full name ("_" counts as a blank) and sets LName, FName and MName in this order
  // through their checks; parts set before a failing one stay set.
  void SetFIO(std::string_view value);

  void Fill(xml::CXMLGprMemberInfo& participant) const override;
  // The Inn.
  [[nodiscard]] std::string Key() const override { return inn_; }
  [[nodiscard]] uint8_t Role() const override { return 1; }

 private:
  std::string last_name_;
  std::string first_name_;
  std::string middle_name_;
  std::string inn_;
};

// A tax authority: its Identifier is its four-character code.
class CTdx880SubjectNO final : public CTdx880Subject {
 public:
  // limits::kTaxOfficeCode: exactly 4 characters ("Identifier").
  void ValidateIdentifier(std::string_view value) const override;
  void Fill(xml::CXMLGprMemberInfo& participant) const override;
  [[nodiscard]] uint8_t Role() const override { return 2; }
};

// A special communications operator: its Identifier is its three-character code.
class CTdx880SubjectSOS final : public CTdx880Subject {
 public:
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  // limits::kOrganisationName: 1 to 1000 characters ("Name").
  void SetName(std::string value);
  // limits::kSpecialOperatorId: exactly 3 characters ("Identifier").
  void ValidateIdentifier(std::string_view value) const override;
  void Fill(xml::CXMLGprMemberInfo& participant) const override;
  [[nodiscard]] uint8_t Role() const override { return 3; }

 private:
  std::string name_;
};

}  // namespace lyr::automation
