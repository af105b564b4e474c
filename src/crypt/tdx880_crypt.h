// CTdx880Crypt: the engine behind the automation Crypt object. It keeps snapshots of the user's
// personal certificates ("MY"), the correspondents' certificates ("addressbook") and the GOST
// provider's key containers, finds keys by index or thumbprint, imports certificates and chains,
// and checks a signature.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crypt/crypto_api20_tool.h"
#include "crypt/tdx880_key.h"
#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

// Created empty: no worker, empty lists, cryptography not available. Operations that need
// cryptography fail, while it is not available (before the first Init), with
// "Не установлен СКЗИ КриптоПро, который требуется для операции: %s" naming the operation. The
// lists are snapshots of the last Init. One caller at a time.
class CTdx880Crypt final : public rtl::CBaseClass {
 public:
  CTdx880Crypt();
  ~CTdx880Crypt() override;
  CTdx880Crypt(const CTdx880Crypt&) = delete;
  CTdx880Crypt& operator=(const CTdx880Crypt&) = delete;

  // Checks that cryptography is available ("инициализация"), makes a new worker at the location
  // of the user-storage flag, and rebuilds the three lists: every certificate of "MY" and of
  // "addressbook" named by its thumbprint, and the names of the key containers of that location
  // in the provider's order. True, or raises.
  bool Init(bool user_storage);

  [[nodiscard]] int32_t GetPrivateKeyCount() const noexcept { return private_.Count(); }
  // Fills key from the personal certificate at index ("privateKeyIndex", 0..count-1; "pKey"),
  // read again from "MY"; raises "Внутренняя ошибка: Сертификат не найден" when it is gone.
  void GetPrivateKey(int32_t index, CTdx880Key* key) const;
  [[nodiscard]] int32_t GetOpponentKeyCount() const noexcept { return opponents_.Count(); }
  // As GetPrivateKey for the correspondents ("opponentKeyIndex", "addressbook").
  void GetOpponentKey(int32_t index, CTdx880Key* key) const;

  // Imports a PKCS#7 chain or one certificate ("P7B-content"), each certificate sorted into
  // "CA", "ROOT" or "addressbook" at the worker's location. The lists stay as they were.
  void ImportP7BChain(std::string_view content);
  // Adds a certificate ("certificateBody") to "addressbook" (an identical one already there is
  // kept) and fills key ("pKey") from it.
  void ImportOpponentCertificate(std::string_view body, CTdx880Key* key);
  // Adds a certificate ("certificateBody") to "MY" bound to the key container ("ContainerName")
  // and fills key ("pKey") from it; ContainerName of key is not set.
  void ImportPrivateCertificate(std::string_view body, std::string_view container_name,
                                CTdx880Key* key);

  // Checks a detached signature and its signer's chain at the worker's location now,
  // downloading what is missing and checking revocation. True, or raises.
  bool CheckSignature(std::string_view content, std::string_view signature) const;

  [[nodiscard]] int32_t GetContainerCount() const noexcept { return containers_.Count(); }
  // The container name at index ("containerIndex", 0..count-1).
  [[nodiscard]] std::string GetContainer(int32_t index) const;

  // Fills key from the certificate of "MY" (respectively "addressbook") with that thumbprint
  // ("sha1"); raises "Внутренняя ошибка: Сертификат не найден" when there is none.
  void GetPrivateKeyBySha1(std::string_view sha1, CTdx880Key* key) const;
  void GetOpponentKeyBySha1(std::string_view sha1, CTdx880Key* key) const;

  // The GOST provider is installed (needs no Init).
  [[nodiscard]] static bool IsCryptographyOk();
  // The result of IsCryptographyOk at the last Init; false before.
  [[nodiscard]] bool CryptographyAvailable() const noexcept { return cryptography_available_; }
  // The worker's store location (1 local machine, 2 current user); 0 before the first Init.
  [[nodiscard]] uint8_t StoreLocation() const noexcept;

 private:
  // Raises the cryptography-not-available message naming operation unless a worker is ready.
  [[nodiscard]] const CCryptoAPI20Tool& RequireTool(std::u8string_view operation) const;
  void KeyAt(const rtl::CStrArray& list, StoreCode store, int32_t index,
             std::string_view index_name, CTdx880Key* key, std::u8string_view operation) const;
  void KeyBySha1(StoreCode store, std::string_view sha1, CTdx880Key* key) const;

  std::unique_ptr<CCryptoAPI20Tool> tool_;
  rtl::CStrArray private_;
  rtl::CStrArray opponents_;
  rtl::CStrArray containers_;
  bool cryptography_available_ = false;
};

// Raises "Не установлен СКЗИ КриптоПро, который требуется для операции: %s" with operation.
[[noreturn]] void RaiseCryptographyNotAvailable(std::u8string_view operation);

}  // namespace lyr::crypt
