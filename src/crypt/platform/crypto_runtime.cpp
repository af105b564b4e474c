// Loading the GOST engine into OpenSSL, reference counted, and the provider test. The engine
// interface is deprecated in OpenSSL 3 but is the only one through which the GOST engine offers
// GOST keys, key transport and CMS, so this unit is compiled with OPENSSL_SUPPRESS_DEPRECATED.
#include "crypt/platform/crypto_runtime.h"

#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/ossl.h"
#include "rtl/startup.h"

namespace lyr::crypt {
namespace {

// The one piece of global state of the crypto layer: the engine and who holds it.
struct EngineState {
  std::mutex mutex;
  ENGINE* engine = nullptr;
  std::string file;  // the file the engine was loaded from
};

EngineState& State() {
  static EngineState state;
  return state;
}

// OpenSSL's compiled-in engines folder ("ENGINESDIR: \"/usr/lib/.../engines-3\"").
std::string EnginesFolder() {
  if (const char* env = std::getenv("OPENSSL_ENGINES"); env != nullptr && *env != '\0') {
    return env;
  }
  const std::string text = ::OpenSSL_version(OPENSSL_ENGINES_DIR);
  const size_t open = text.find('"');
  const size_t close = text.rfind('"');
  if (open == std::string::npos || close <= open) {
    return "/usr/lib/x86_64-linux-gnu/engines-3";
  }
  return text.substr(open + 1, close - open - 1);
}

// True when the engine offers the three algorithms the system uses.
bool OffersGostAlgorithms(ENGINE* engine) {
  return ::ENGINE_get_pkey_meth(engine, NID_id_GostR3410_2001) != nullptr &&
         ::ENGINE_get_pkey_asn1_meth(engine, NID_id_GostR3410_2001) != nullptr &&
         ::ENGINE_get_digest(engine, NID_id_GostR3411_94) != nullptr &&
         ::ENGINE_get_cipher(engine, NID_id_Gost28147_89) != nullptr;
}

void Unregister(ENGINE* engine) {
  ::ENGINE_unregister_ciphers(engine);
  ::ENGINE_unregister_digests(engine);
  ::ENGINE_unregister_pkey_meths(engine);
  ::ENGINE_unregister_pkey_asn1_meths(engine);
}

// Loads the engine file through OpenSSL's dynamic engine without adding it to OpenSSL's engine
// list, initialises it and registers it for its algorithms (what parsing GOST keys and
// certificates and running GOST CMS need). Nothing else of OpenSSL's global state changes.
ENGINE* LoadEngine() {
  const std::string file = GostEngineFile();
  if (::access(file.c_str(), R_OK) != 0) {
    RaiseCryptError(code::kNteProviderDllFail, "(GOST engine " + file + " not found)");
  }
  ENGINE* engine = ::ENGINE_by_id("dynamic");
  if (engine == nullptr) {
    RaiseCryptErrorWithOpenSsl(code::kNteProviderDllFail);
  }
  if (::ENGINE_ctrl_cmd_string(engine, "SO_PATH", file.c_str(), 0) != 1 ||
      ::ENGINE_ctrl_cmd_string(engine, "LIST_ADD", "0", 0) != 1 ||
      ::ENGINE_ctrl_cmd_string(engine, "LOAD", nullptr, 0) != 1) {
    ::ENGINE_free(engine);
    RaiseCryptErrorWithOpenSsl(code::kNteProviderDllFail, "GOST engine " + file);
  }
  if (::ENGINE_init(engine) != 1) {
    ::ENGINE_free(engine);
    RaiseCryptErrorWithOpenSsl(code::kNteProviderDllFail, "GOST engine " + file);
  }
  if (!OffersGostAlgorithms(engine)) {
    ::ENGINE_finish(engine);
    ::ENGINE_free(engine);
    ::ERR_clear_error();
    RaiseCryptError(code::kNteProvTypeNotDef, "(" + file + " offers no GOST R 34.10-2001)");
  }
  if (::ENGINE_register_ciphers(engine) != 1 || ::ENGINE_register_digests(engine) != 1 ||
      ::ENGINE_register_pkey_meths(engine) != 1 || ::ENGINE_register_pkey_asn1_meths(engine) != 1) {
    Unregister(engine);
    ::ENGINE_finish(engine);
    ::ENGINE_free(engine);
    RaiseCryptErrorWithOpenSsl(code::kNteProviderDllFail, "GOST engine " + file);
  }
  // Content encryption for GOST R 34.10-2001 recipients uses the CryptoPro-A S-box, which other
  // GOST CMS implementations expect. The environment variable CRYPT_PARAMS overrides this
  // setting inside the engine; the envelope code checks what it produced.
  ::ENGINE_ctrl_cmd_string(engine, "CRYPT_PARAMS", "id-Gost28147-89-CryptoPro-A-ParamSet", 0);
  ::ERR_clear_error();
  return engine;
}

// The first user after a pause checks the engine file again, so that a provider removed (or
// an override pointing elsewhere) is noticed.
void CheckEngineFile(const EngineState& state) {
  const std::string file = GostEngineFile();
  if (::access(file.c_str(), R_OK) != 0) {
    RaiseCryptError(code::kNteProviderDllFail, "(GOST engine " + file + " not found)");
  }
  if (file != state.file) {
    RaiseCryptError(code::kNteProviderDllFail,
                    "(GOST engine " + state.file + " is loaded, " + file + " cannot be)");
  }
}

// The GOST engine cannot be bound twice into one process (its binding keeps static state that
// survives unloading), so once loaded it stays registered until the process ends; stopping the
// service only marks it unused, and the next start checks the engine file again.
void StartEngine() {
  EngineState& state = State();
  const std::lock_guard lock(state.mutex);
  if (state.engine == nullptr) {
    state.engine = LoadEngine();
    state.file = GostEngineFile();
  } else {
    CheckEngineFile(state);
  }
}

void StopEngine() noexcept {}

const rtl::StartupService kGostEngineService{"GOST engine", &StartEngine, &StopEngine};

}  // namespace

CryptoRuntime::CryptoRuntime() : lease_(kGostEngineService) {}

CryptoRuntime::~CryptoRuntime() = default;

std::string GostEngineFile() {
  if (const char* env = std::getenv("LYR_TDX_GOST_ENGINE"); env != nullptr && *env != '\0') {
    return env;
  }
  return EnginesFolder() + "/gost.so";
}

bool IsGostProviderInstalled() noexcept {
  try {
    // A file that is gone now means no provider, even while an earlier engine is still held.
    if (::access(GostEngineFile().c_str(), R_OK) != 0) {
      return false;
    }
    const CryptoRuntime runtime;
    return true;
  } catch (...) {
    return false;
  }
}

namespace engine {

ENGINE* Gost() {
  return State().engine;
}

const EVP_MD* DigestGost94() {
  return ::ENGINE_get_digest(Gost(), NID_id_GostR3411_94);
}

const EVP_MD* SigningDigest(const EVP_PKEY* key) {
  switch (::EVP_PKEY_get_base_id(key)) {
    case NID_id_GostR3410_2012_256:
      return ::ENGINE_get_digest(Gost(), NID_id_GostR3411_2012_256);
    case NID_id_GostR3410_2012_512:
      return ::ENGINE_get_digest(Gost(), NID_id_GostR3411_2012_512);
    default:
      return DigestGost94();
  }
}

const EVP_CIPHER* CipherGost89() {
  return ::ENGINE_get_cipher(Gost(), NID_id_Gost28147_89);
}

const EVP_CIPHER* CipherFor(lyr::crypt::ContentCipher cipher) {
  switch (cipher) {
    case lyr::crypt::ContentCipher::kMagmaCtrAcpkm:
      return ::ENGINE_get_cipher(Gost(), NID_magma_ctr_acpkm);
    case lyr::crypt::ContentCipher::kMagmaCtrAcpkmOmac:
      return ::ENGINE_get_cipher(Gost(), NID_magma_ctr_acpkm_omac);
    case lyr::crypt::ContentCipher::kKuznyechikCtrAcpkm:
      return ::ENGINE_get_cipher(Gost(), NID_kuznyechik_ctr_acpkm);
    case lyr::crypt::ContentCipher::kKuznyechikCtrAcpkmOmac:
      return ::ENGINE_get_cipher(Gost(), NID_kuznyechik_ctr_acpkm_omac);
    case lyr::crypt::ContentCipher::kGost28147:
      break;
  }
  return CipherGost89();
}

}  // namespace engine
}  // namespace lyr::crypt
