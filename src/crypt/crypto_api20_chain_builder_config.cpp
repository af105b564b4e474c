// The chain builders' configurations.
#include "crypt/crypto_api20_chain_builder_config.h"

#include "rtl/value_check_tool.h"

namespace lyr::crypt {

void CCryptoAPI20ChainBuilderBaseConfig::Assign(const CCryptoAPI20ChainBuilderBaseConfig& other) {
  initial_certificate_ = other.initial_certificate_;
  provider_ = other.provider_;
  store_location_ = other.store_location_;
  date_ = other.date_;
}

void CCryptoAPI20ChainBuilderBaseConfig::SetInitialCertificate(const Certificate* certificate) {
  rtl::CValueCheckTool::CheckAssigned(certificate, "pInitialCertContext");
  initial_certificate_ = *certificate;
}

void CCryptoAPI20ChainBuilderBaseConfig::SetDate(rtl::TDateTime date) {
  if (date < 0) {
    rtl::RaiseFmt(u8"Неверное значение аргумента [%s]", rtl::DateToStr(date));
  }
  date_ = date == 0 ? rtl::Now() : date;
}

void CCryptoAPI20ChainBuilderStrictConfig::Assign(const CCryptoAPI20ChainBuilderBaseConfig& other) {
  CCryptoAPI20ChainBuilderBaseConfig::Assign(other);
  if (const auto* strict = dynamic_cast<const CCryptoAPI20ChainBuilderStrictConfig*>(&other)) {
    margin_ = strict->margin_;
    flags_ = strict->flags_;
  }
}

}  // namespace lyr::crypt
