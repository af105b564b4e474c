// CTdx880Key: a new record, the setters' checks, and filling a record from certificates.
#include "crypt/tdx880_key.h"

#include <gtest/gtest.h>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/pki.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

struct EmptySetterCase {
  const char* name;
  void (CTdx880Key::*setter)(std::string_view);
  const char* argument;
};

class Tdx880KeyEmptySetter : public ::testing::TestWithParam<EmptySetterCase> {};

TEST_P(Tdx880KeyEmptySetter, RefusesEmptyValueAndKeepsTheOldOne) {
  CTdx880Key key;
  (key.*GetParam().setter)("old");
  EXPECT_EQ(MessageOf([&] { (key.*GetParam().setter)(""); }),
            Msg(u8"Передан пустой аргумент: ") + GetParam().argument);
  CTdx880Key probe;
  (probe.*GetParam().setter)("old");
  EXPECT_EQ(key.Sha1(), probe.Sha1());
  EXPECT_EQ(key.SubjectCN(), probe.SubjectCN());
  EXPECT_EQ(key.CertificateBody(), probe.CertificateBody());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Tdx880KeyEmptySetter,
    ::testing::Values(EmptySetterCase{"Sha1", &CTdx880Key::SetSha1, "sha1"},
                      EmptySetterCase{"SubjectCN", &CTdx880Key::SetSubjectCN, "SubjectCN"},
                      EmptySetterCase{"CertificateBody", &CTdx880Key::SetCertificateBody,
                                      "CertificateBody"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tdx880Key, FillFromCertificateSetsThumbprintNameAndBodyOnly) {
  const Certificate user = Certificate::FromDer(test::PemFileToDer(test::SharedPki().user));
  CTdx880Key key;
  key.SetContainerName("kept");
  key.SetSignRole(sign_role::kTaxService);
  FillKeyFromCertificate(key, user);
  EXPECT_EQ(key.Sha1(), user.Thumbprint());
  EXPECT_EQ(key.Sha1().size(), 40U);
  EXPECT_EQ(key.SubjectCN(), user.SubjectCN().value());
  EXPECT_EQ(key.CertificateBody(), user.Der());
  EXPECT_EQ(key.ContainerName(), "kept");
  EXPECT_EQ(key.SignRole(), sign_role::kTaxService);
}

TEST(Tdx880Key, FillFromCertificateWithoutCommonNameGivesNa) {
  const Certificate nocn = Certificate::FromDer(test::PemFileToDer(test::SharedPki().nocn));
  CTdx880Key key;
  FillKeyFromCertificate(key, nocn);
  EXPECT_EQ(key.SubjectCN(), "na");
  EXPECT_EQ(key.CertificateBody(), nocn.Der());
}

}  // namespace
}  // namespace lyr::crypt
