// Test PKI made with the openssl command line and the GOST engine.
#include "crypt/support/test_pki.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "crypt/platform/crypto_runtime.h"
#include "support/sandbox.h"

namespace lyr::test {
namespace {

constexpr const char* kPkiConfig = R"([req]
distinguished_name = dn
[dn]
[ca]
default_ca = ca_default
[ca_default]
database = ./index.txt
crlnumber = ./crlnumber
default_md = md_gost94
default_crl_days = 30
[v3_root]
basicConstraints = critical,CA:TRUE
keyUsage = keyCertSign, cRLSign
[v3_inter]
basicConstraints = critical,CA:TRUE
keyUsage = keyCertSign, cRLSign
crlDistributionPoints = URI:http://127.0.0.1:8080/root.crl, URI:ldap://ldap.example/cn=root, URI:HTTP://EXAMPLE.COM/x.crl, URI:https://127.0.0.1/root2.crl
authorityInfoAccess = caIssuers;URI:http://127.0.0.1:8080/root.cer, OCSP;URI:http://127.0.0.1:8080/ocsp
[v3_user]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment, dataEncipherment
crlDistributionPoints = URI:http://127.0.0.1:8080/inter.crl
authorityInfoAccess = caIssuers;URI:http://127.0.0.1:8080/inter.cer
[v3_nocn]
basicConstraints = CA:TRUE
[v3_ocsp]
basicConstraints = CA:FALSE
authorityInfoAccess = OCSP;URI:http://127.0.0.1:8080/ocsp
[v3_chain_root]
basicConstraints = CA:TRUE
keyUsage = keyCertSign, cRLSign
[v3_plain]
keyUsage = digitalSignature
[v3_crit_not_ca]
basicConstraints = critical,CA:FALSE
)";

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

struct PkiHolder {
  TestPki pki;
  std::string config;

  // The PKI is kept in the build tree for the day it was made and shared by every test process
  // of that day (CTest runs each test in a process of its own); a process that finds none makes
  // one aside and renames it into place, so concurrent processes never see half a PKI.
  PkiHolder() {
    const std::time_t now = std::time(nullptr);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m%d", std::gmtime(&now));
    // The suffix names the PKI's generation: a cache made before certificates were added is not
    // taken for the new one.
    const std::filesystem::path cache =
        std::filesystem::path(LYR_TEST_PKI_CACHE) / (std::string(day) + "-2");
    SetPaths(cache);
    if (!std::filesystem::exists(cache / "done")) {
      std::filesystem::create_directories(cache.parent_path());
      std::string pattern = cache.string() + ".tmp-XXXXXX";
      if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the PKI folder");
      }
      const std::filesystem::path aside = pattern;
      SetPaths(aside);
      Make();
      WriteText(aside / "done", "");
      std::error_code ec;
      std::filesystem::rename(aside, cache, ec);
      if (ec) {
        std::filesystem::remove_all(aside, ec);  // another process was first
      }
      SetPaths(cache);
    }
  }

  void SetPaths(const std::filesystem::path& folder) {
    pki.folder = folder;
    config = (pki.folder / "openssl.cnf").string();
    const auto path = [&](const char* name) { return pki.folder / name; };
    pki.root = path("root.pem");
    pki.root_key = path("root.key");
    pki.inter = path("inter.pem");
    pki.inter_key = path("inter.key");
    pki.user = path("user.pem");
    pki.user_key = path("user.key");
    pki.nocn = path("nocn.pem");
    pki.ocsp_only = path("ocsp.pem");
    pki.root_crl = path("root.crl");
    pki.user_csr = path("user.csr");
    pki.chain_root = path("chain_root.pem");
    pki.chain_inter = path("chain_inter.pem");
    pki.chain_user = path("chain_user.pem");
    pki.plain_self = path("plain_self.pem");
    pki.inter_noncritical = path("inter_nc.pem");
    pki.critical_not_ca = path("crit_not_ca.pem");
  }

  void Make() {
    WriteText(config,
              "openssl_conf = openssl_def\n[openssl_def]\nengines = engines\n"
              "[engines]\ngost = gost\n[gost]\nengine_id = gost\ndynamic_path = " +
                  crypt::GostEngineFile() + "\ndefault_algorithms = ALL\n");
    WriteText(pki.folder / "pki.cnf", kPkiConfig);
    WriteText(pki.folder / "index.txt",
              "R\t301231235959Z\t250101000000Z\t0102\tunknown\t/CN=Test Inter CA\n");
    WriteText(pki.folder / "crlnumber", "01\n");
    const std::string script =
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out root.key && "
        "openssl req -config pki.cnf -new -x509 -key root.key -subj '/CN=Test Root CA/O=Lyr' "
        "-days 3650 -set_serial 1 -extensions v3_root -md_gost94 -out root.pem && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:A -out inter.key && "
        "openssl req -config pki.cnf -new -key inter.key -subj '/CN=Test Inter CA' -out inter.csr "
        "&& "
        "openssl x509 -req -in inter.csr -CA root.pem -CAkey root.key -set_serial 0x0102 "
        "-days 1825 -extfile pki.cnf -extensions v3_inter -md_gost94 -out inter.pem && "
        "openssl genpkey -algorithm gost2001 -pkeyopt paramset:XA -out user.key && "
        "openssl req -config pki.cnf -new -key user.key -subj '/CN=Test User/O=Lyr' -out user.csr "
        "&& "
        "openssl x509 -req -in user.csr -CA inter.pem -CAkey inter.key -set_serial 0x00A1B2C3 "
        "-days 365 -extfile pki.cnf -extensions v3_user -md_gost94 -out user.pem && "
        "openssl req -config pki.cnf -new -x509 -key user.key -subj '/O=No Name/C=RU' -days 30 "
        "-set_serial 7 -extensions v3_nocn -md_gost94 -out nocn.pem && "
        "openssl x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 9 -days 30 "
        "-extfile pki.cnf -extensions v3_ocsp -md_gost94 -out ocsp.pem && "
        "openssl ca -config pki.cnf -gencrl -keyfile root.key -cert root.pem -out root.crl && "
        "openssl req -config pki.cnf -new -x509 -key root.key -subj '/CN=Chain Root/O=Lyr' "
        "-days 3650 -set_serial 21 -extensions v3_chain_root -md_gost94 -out chain_root.pem && "
        "openssl req -config pki.cnf -new -key inter.key -subj '/CN=Chain Inter' "
        "-out chain_inter.csr && "
        "openssl x509 -req -in chain_inter.csr -CA chain_root.pem -CAkey root.key -set_serial 22 "
        "-days 1825 -extfile pki.cnf -extensions v3_root -md_gost94 -out chain_inter.pem && "
        "openssl req -config pki.cnf -new -key user.key -subj '/CN=Chain User' "
        "-out chain_user.csr && "
        "openssl x509 -req -in chain_user.csr -CA chain_inter.pem -CAkey inter.key -set_serial 23 "
        "-days 365 -extfile pki.cnf -extensions v3_user -md_gost94 -out chain_user.pem && "
        "openssl req -config pki.cnf -new -x509 -key user.key -subj '/CN=Plain Self' -days 30 "
        "-set_serial 24 -extensions v3_plain -md_gost94 -out plain_self.pem && "
        "openssl req -config pki.cnf -new -key inter.key -subj '/CN=Test Inter NC' "
        "-out inter_nc.csr && "
        "openssl x509 -req -in inter_nc.csr -CA root.pem -CAkey root.key -set_serial 25 "
        "-days 1825 -extfile pki.cnf -extensions v3_nocn -md_gost94 -out inter_nc.pem && "
        "openssl x509 -req -in user.csr -CA root.pem -CAkey root.key -set_serial 26 -days 30 "
        "-extfile pki.cnf -extensions v3_crit_not_ca -md_gost94 -out crit_not_ca.pem";
    if (RunOpenSslScript(script) != 0) {
      throw std::runtime_error("openssl could not make the test PKI");
    }
  }

  [[nodiscard]] int RunOpenSslScript(const std::string& script,
                                     std::string* output = nullptr) const {
    return RunCommand("cd " + Quote(pki.folder) + " && export OPENSSL_CONF=" + config +
                          " && unset CRYPT_PARAMS && " + script + " 2>/dev/null",
                      output);
  }
};

PkiHolder& Holder() {
  static PkiHolder holder;
  return holder;
}

}  // namespace

const TestPki& SharedPki() {
  return Holder().pki;
}

std::string OpenSslConfigPath() {
  return Holder().config;
}

int RunOpenSsl(const std::string& arguments, std::string* output) {
  return Holder().RunOpenSslScript("openssl " + arguments, output);
}

std::string FileBytes(const std::filesystem::path& path) {
  return ReadAll(path);
}

std::string PemFileToDer(const std::filesystem::path& path) {
  const std::string pem = FileBytes(path);
  const size_t begin = pem.find("-----BEGIN");
  const size_t body = pem.find('\n', begin) + 1;
  const size_t end = pem.find("-----END", body);
  std::string base64;
  for (size_t i = body; i < end; ++i) {
    if (pem[i] != '\n' && pem[i] != '\r') {
      base64 += pem[i];
    }
  }
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string der;
  uint32_t buffer = 0;
  int bits = 0;
  for (const char c : base64) {
    const size_t value = kAlphabet.find(c);
    if (value == std::string_view::npos) {
      continue;
    }
    buffer = (buffer << 6) | static_cast<uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      der += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return der;
}

std::filesystem::path GostVectorsFolder() {
  const std::filesystem::path folder = std::filesystem::path(LYR_SHARED_TESTDATA) / "gost-vectors";
  return std::filesystem::exists(folder / "README.md") ? folder : std::filesystem::path();
}

}  // namespace lyr::test
