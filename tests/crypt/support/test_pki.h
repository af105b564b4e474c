// Test PKI for the crypto tests: GOST R 34.10-2001 certificates, keys and a CRL made once per
// test process with the openssl command line and the GOST engine (a real peer), in a private
// temporary folder removed at exit.
#pragma once

#include <filesystem>
#include <string>

namespace lyr::test {

struct TestPki {
  std::filesystem::path folder;
  // PEM files, with their keys (PKCS#8 PEM, unencrypted) where a test needs them:
  // root: self-signed, critical CA basic constraints, paramset XA, serial 01.
  // inter: issued by root, critical CA, four CRL distribution points (http, ldap, upper-case
  //   HTTP, https), caIssuers and OCSP access, paramset A, serial 0102.
  // user: issued by inter, CA:FALSE, one CRL point, caIssuers, paramset XA, serial 00A1B2C3.
  // nocn: self-signed without a common name, non-critical CA basic constraints.
  // ocsp_only: issued by root, authority information access with OCSP alone.
  std::filesystem::path root, root_key, inter, inter_key, user, user_key, nocn, ocsp_only;
  // A CRL of root revoking serial 0102 on 2025-01-01, next update in 30 days.
  std::filesystem::path root_crl;
  // The PKCS#10 request (PEM) behind user.
  std::filesystem::path user_csr;
  // A second chain whose root has non-critical CA basic constraints:
  // chain_root "CN=Chain Root, O=Lyr" (self-signed, root key), chain_inter "CN=Chain Inter"
  // (critical CA, inter key), chain_user "CN=Chain User" (CA:FALSE, user key).
  std::filesystem::path chain_root, chain_inter, chain_user;
  // plain_self: self-signed "CN=Plain Self" without basic constraints (user key).
  // inter_noncritical: "CN=Test Inter NC" issued by root, non-critical CA:TRUE (inter key).
  // critical_not_ca: "CN=Test User, O=Lyr" issued by root, critical CA:FALSE (user key).
  std::filesystem::path plain_self, inter_noncritical, critical_not_ca;
};

// The process-wide test PKI (made on first use; fails the calling test when it cannot be made).
const TestPki& SharedPki();

// An OpenSSL configuration that loads the GOST engine, for the openssl command line.
std::string OpenSslConfigPath();

// Runs "openssl <arguments>" in the PKI folder with the GOST engine configured; returns the exit
// status and collects standard output.
int RunOpenSsl(const std::string& arguments, std::string* output = nullptr);

// Reads a whole file.
std::string FileBytes(const std::filesystem::path& path);

// The DER of the first PEM block of a file.
std::string PemFileToDer(const std::filesystem::path& path);

// The shared GOST vectors folder, or empty when this machine has none.
std::filesystem::path GostVectorsFolder();

}  // namespace lyr::test
