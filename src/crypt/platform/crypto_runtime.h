// The crypto layer's global state: OpenSSL and the GOST engine, started once and reference
// counted; and the test that the GOST provider is installed.
#pragma once

#include <string>

#include "rtl/startup.h"

namespace lyr::crypt {

// A lease on the GOST engine service (rtl StartupLease): while one lives, the engine is loaded,
// initialised and registered for its algorithms. Every operation of the layer holds one while it
// works; hosts and the tool may hold one for their whole run. The engine cannot be bound twice
// into a process, so it stays loaded after the last lease; a new first lease checks the engine
// file again.
class CryptoRuntime final {
 public:
  // Loads the engine on first use. Raises ECryptError NTE_PROVIDER_DLL_FAIL when the engine file
  // cannot be loaded and NTE_PROV_TYPE_NOT_DEF when it lacks a GOST algorithm.
  CryptoRuntime();
  ~CryptoRuntime();
  CryptoRuntime(const CryptoRuntime&) = delete;
  CryptoRuntime& operator=(const CryptoRuntime&) = delete;

 private:
  rtl::StartupLease lease_;
};

// The engine file to load: $LYR_TDX_GOST_ENGINE when set and not empty, else the Debian GOST
// engine (gost.so in OpenSSL's engines folder).
std::string GostEngineFile();

// True when the engine loads and offers GOST R 34.10-2001 keys, the GOST R 34.11-94 digest and
// the GOST 28147-89 cipher. Never throws.
bool IsGostProviderInstalled() noexcept;

}  // namespace lyr::crypt
