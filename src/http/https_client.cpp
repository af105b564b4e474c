// CHttpsClient over libcurl. One Get is one easy handle (two when a client certificate is asked
// for): every handle, list and OpenSSL object is released when Get leaves, also on failure.
#include "http/https_client.h"

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

#include "http/http_status_exception.h"
#include "http/internet_errors.h"
#include "http/parsed_url.h"
#include "rtl/errors.h"
#include "rtl/free_with.h"
#include "rtl/hex.h"
#include "rtl/trace.h"

namespace lyr::http {
namespace {

constexpr char kDefaultUserAgent[] = "LYR-KORAL-HTTPSClient";
// The client's own time-outs where the configuration gives none, in milliseconds.
constexpr int32_t kDefaultConnectTimeout = 60000;
constexpr int32_t kDefaultReceiveTimeout = 30000;
constexpr long kMaxRedirects = 5;
// Longest status text kept, as the system's query buffer holds.
constexpr size_t kMaxStatusText = 1024;

using rtl::FreeWith;
using CurlPtr = std::unique_ptr<CURL, FreeWith<&::curl_easy_cleanup>>;
using CurlListPtr = std::unique_ptr<curl_slist, FreeWith<&::curl_slist_free_all>>;
using X509Ptr = std::unique_ptr<X509, FreeWith<&::X509_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, FreeWith<&::EVP_PKEY_free>>;
using BioPtr = std::unique_ptr<BIO, FreeWith<&::BIO_free>>;

[[noreturn]] void RaiseTransportError(int32_t code) {
  rtl::RaiseFmt(u8"Не удалось соединиться с сервером: %s (код %d)", InternetErrorText(code), code);
}

[[noreturn]] void RaiseCertificateNotFound() {
  rtl::RaiseFmt(u8"Ошибка получения контекста сертификата");
}

[[noreturn]] void RaiseTooLarge(int64_t limit) {
  rtl::RaiseFmt(u8"Ответ сервера больше допустимого размера (%d байт)", limit);
}

void StartCurl() {
  if (::curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    RaiseTransportError(kInternetInternalError);
  }
}

void StopCurl() noexcept {
  ::curl_global_cleanup();
}

const rtl::StartupService kCurl{"libcurl", &StartCurl, &StopCurl};

// --- Client certificate -------------------------------------------------------------------------

struct LoadedCertificate {
  X509Ptr Certificate;
  PkeyPtr PrivateKey;
};

X509Ptr ParseCertificate(const std::string& bytes) {
  const auto* der = reinterpret_cast<const unsigned char*>(bytes.data());
  X509Ptr certificate(::d2i_X509(nullptr, &der, static_cast<long>(bytes.size())));
  if (!certificate) {
    const BioPtr bio(::BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    certificate.reset(::PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  }
  return certificate;
}

PkeyPtr ParsePrivateKey(const std::string& bytes) {
  const auto* der = reinterpret_cast<const unsigned char*>(bytes.data());
  PkeyPtr key(::d2i_AutoPrivateKey(nullptr, &der, static_cast<long>(bytes.size())));
  if (!key) {
    const BioPtr bio(::BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    key.reset(::PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  }
  return key;
}

// Finds the certificate named by the thumbprint through the configured source, checks that it is
// the one asked for and that the key belongs to it.
LoadedCertificate LoadClientCertificate(const CHttpsClientConfig& config) {
  if (!config.CertificateSource) {
    RaiseCertificateNotFound();
  }
  std::optional<ClientCertificate> found;
  std::string hash;
  try {
    hash = rtl::HexToBytes(config.ClientCertificate);
    found = config.CertificateSource(hash);
  } catch (const rtl::Exception& error) {
    rtl::DebugLog("Client certificate: %s", error.Message());
    RaiseCertificateNotFound();
  }
  if (!found) {
    RaiseCertificateNotFound();
  }
  LoadedCertificate loaded{ParseCertificate(found->Certificate),
                           ParsePrivateKey(found->PrivateKey)};
  ::OPENSSL_cleanse(found->PrivateKey.data(), found->PrivateKey.size());
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digest_size = 0;
  if (!loaded.Certificate || !loaded.PrivateKey ||
      ::X509_digest(loaded.Certificate.get(), ::EVP_sha1(), digest.data(), &digest_size) != 1 ||
      std::string(reinterpret_cast<const char*>(digest.data()), digest_size) != hash ||
      ::X509_check_private_key(loaded.Certificate.get(), loaded.PrivateKey.get()) != 1) {
    RaiseCertificateNotFound();
  }
  return loaded;
}

// --- Address ------------------------------------------------------------------------------------

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// The path goes to the server as given; only bytes that cannot stand in a request line (blanks,
// controls, non-ASCII, and "#", which would end the path) are percent-encoded.
std::string EscapePath(const std::string& path) {
  std::string escaped;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '#' || c == '"' || c == '<' || c == '>' || c == '\\' ||
        c == '^' || c == '`' || c == '{' || c == '|' || c == '}') {
      escaped += '%' + rtl::BytesToHexPlain(std::string_view(&c, 1));
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// The address handed to libcurl. A host that no name service could resolve (it holds characters
// outside host names, "@" among them, so no user name can be smuggled in) fails as unresolved.
std::string RequestUrl(const ParsedUrl& url) {
  if (url.Host.empty()) {
    RaiseTransportError(kInternetInvalidUrl);
  }
  for (const char c : url.Host) {
    if (!IsHostCharacter(c)) {
      RaiseTransportError(kInternetNameNotResolved);
    }
  }
  const int32_t port = url.Port >= 1 ? url.Port : (url.Secure ? 443 : 80);
  if (port > 65535) {
    RaiseTransportError(kInternetInvalidUrl);
  }
  return std::string(url.Secure ? "https://" : "http://") + url.Host + ":" + std::to_string(port) +
         "/" + EscapePath(url.Path);
}

// --- One transfer -------------------------------------------------------------------------------

// Why a callback stopped the transfer.
enum class Stop { None, TooLarge, Status, Idle };

class Transfer final {
 public:
  Transfer(const CHttpsClientConfig& config, const std::string& url,
           const LoadedCertificate* certificate);
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Runs the request; true when the server asked for a client certificate and the transfer failed
  // for want of one.
  [[nodiscard]] bool Run();
  // The body, or the error the transfer ended with.
  std::string Result();

 private:
  template <typename T>
  void Set(CURLoption option, T value);
  void SetProxy();
  void Touch() { last_activity_ = std::chrono::steady_clock::now(); }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnPrerequest(void* self, char*, char*, int, int);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static CURLcode OnSslContext(CURL*, void* context, void* self);
  static int OnClientCertificateRequest(SSL* ssl, X509**, EVP_PKEY**);
  static int TransferIndex();

  const CHttpsClientConfig& config_;
  const LoadedCertificate* certificate_;
  CurlPtr handle_;
  CurlListPtr headers_;
  std::array<char, CURL_ERROR_SIZE> error_text_{};
  std::chrono::milliseconds receive_timeout_;
  std::chrono::steady_clock::time_point last_activity_;
  bool connected_ = false;
  bool certificate_requested_ = false;
  CURLcode code_ = CURLE_OK;
  Stop stop_ = Stop::None;
  int32_t status_code_ = 0;
  std::string status_text_;
  std::string body_;
};

Transfer::Transfer(const CHttpsClientConfig& config, const std::string& url,
                   const LoadedCertificate* certificate)
    : config_(config),
      certificate_(certificate),
      handle_(::curl_easy_init()),
      receive_timeout_(config.ReceiveTimeout > 0 ? config.ReceiveTimeout : kDefaultReceiveTimeout) {
  if (!handle_) {
    RaiseTransportError(kInternetInternalError);
  }
  Set(CURLOPT_ERRORBUFFER, error_text_.data());
  Set(CURLOPT_URL, url.c_str());
  Set(CURLOPT_HTTPGET, 1L);
  Set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Set(CURLOPT_PATH_AS_IS, 1L);
  Set(CURLOPT_NOSIGNAL, 1L);
  Set(CURLOPT_PROTOCOLS_STR, "http,https");
  Set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Set(CURLOPT_FOLLOWLOCATION, 1L);
  Set(CURLOPT_MAXREDIRS, kMaxRedirects);
  const std::string& agent = config.UserAgent.empty() ? kDefaultUserAgent : config.UserAgent;
  Set(CURLOPT_USERAGENT, agent.c_str());
  // No accept types, and always from the server rather than from a cache on the way.
  for (const char* header : {"Accept:", "Cache-Control: no-cache", "Pragma: no-cache"}) {
    curl_slist* const list = ::curl_slist_append(headers_.get(), header);
    if (list == nullptr) {
      RaiseTransportError(kInternetInternalError);
    }
    static_cast<void>(headers_.release());
    headers_.reset(list);
  }
  Set(CURLOPT_HTTPHEADER, headers_.get());
  SetProxy();
  Set(CURLOPT_CONNECTTIMEOUT_MS,
      static_cast<long>(config.ConnectTimeout > 0 ? config.ConnectTimeout
                                                  : kDefaultConnectTimeout));
  if (config.MaxContentSize >= 0) {
    Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(config.MaxContentSize));
  }
  // Server certificates are not checked (unknown authority, wrong date or name are accepted):
  // the downloaded objects are signed and checked by whoever asked for them.
  Set(CURLOPT_SSL_VERIFYPEER, 0L);
  Set(CURLOPT_SSL_VERIFYHOST, 0L);
  Set(CURLOPT_SSL_CTX_FUNCTION, &Transfer::OnSslContext);
  Set(CURLOPT_SSL_CTX_DATA, this);
  Set(CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  Set(CURLOPT_HEADERDATA, this);
  Set(CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  Set(CURLOPT_WRITEDATA, this);
  Set(CURLOPT_PREREQFUNCTION, &Transfer::OnPrerequest);
  Set(CURLOPT_PREREQDATA, this);
  Set(CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  Set(CURLOPT_XFERINFODATA, this);
  Set(CURLOPT_NOPROGRESS, 0L);
}

template <typename T>
void Transfer::Set(CURLoption option, T value) {
  if (::curl_easy_setopt(handle_.get(), option, value) != CURLE_OK) {
    RaiseTransportError(kInternetInternalError);
  }
}

// Direct access, a named proxy without bypass list, or the system's settings, which for libcurl
// are the proxy environment variables.
void Transfer::SetProxy() {
  if (!config_.UseProxy) {
    Set(CURLOPT_PROXY, "");
    return;
  }
  const CHttpsClientProxyConfig& proxy = config_.ProxyConfig;
  if (!proxy.Host.empty()) {
    const std::string address = rtl::Format("%s:%s", proxy.Host, proxy.Port);
    Set(CURLOPT_PROXY, address.c_str());
    Set(CURLOPT_NOPROXY, "");
  }
  if (!proxy.UserName.empty()) {
    Set(CURLOPT_PROXYUSERNAME, proxy.UserName.c_str());
    Set(CURLOPT_PROXYPASSWORD, proxy.Password.c_str());
  }
  // The status of a tunnel through the proxy is not the server's status.
  Set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

bool Transfer::Run() {
  Touch();
  code_ = ::curl_easy_perform(handle_.get());
  if (code_ != CURLE_OK && error_text_[0] != '\0') {
    rtl::DebugLog("curl: %s (%d)", error_text_.data(), static_cast<int32_t>(code_));
  }
  return code_ != CURLE_OK && stop_ == Stop::None && certificate_requested_ &&
         certificate_ == nullptr;
}

// The Internet-client code for a libcurl failure.
int32_t InternetErrorOf(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return kInternetTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kInternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kInternetCannotConnect;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
      return kInternetConnectionAborted;
    case CURLE_URL_MALFORMAT:
      return kInternetInvalidUrl;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_UNSUPPORTED_PROTOCOL:  // a response without status line (HTTP/0.9)
      return kHttpInvalidServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
      return kHttpRedirectFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_PEER_FAILED_VERIFICATION:
      return kInternetSecurityChannelError;
    case CURLE_PROXY:
      return kInternetProxyServerUnreachable;
    default:
      return kInternetInternalError;
  }
}

std::string Transfer::Result() {
  const bool status_rejected = config_.CheckStatus && status_code_ != 200;
  if (stop_ == Stop::Status || (status_rejected && (code_ == CURLE_OK || stop_ == Stop::TooLarge ||
                                                    code_ == CURLE_FILESIZE_EXCEEDED))) {
    throw CHttpStatusException(status_code_, status_text_);
  }
  if (stop_ == Stop::TooLarge || code_ == CURLE_FILESIZE_EXCEEDED) {
    RaiseTooLarge(config_.MaxContentSize);
  }
  if (stop_ == Stop::Idle) {
    RaiseTransportError(kInternetTimeout);
  }
  if (code_ != CURLE_OK && certificate_requested_ && certificate_ == nullptr) {
    RaiseTransportError(kInternetClientAuthCertNeeded);
  }
  // Our own addresses are http or https: another scheme can only come from a redirect.
  if (code_ == CURLE_UNSUPPORTED_PROTOCOL && status_code_ >= 300 && status_code_ < 400) {
    RaiseTransportError(kInternetRedirectSchemeChange);
  }
  if (code_ != CURLE_OK) {
    RaiseTransportError(InternetErrorOf(code_));
  }
  return std::move(body_);
}

// Keeps the status line of the last response (a followed redirect is replaced by its target).
size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  transfer.Touch();
  std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
      line.remove_suffix(1);
    }
    const size_t code_start = line.find(' ');
    const size_t text_start = code_start == std::string_view::npos ? std::string_view::npos
                                                                   : line.find(' ', code_start + 1);
    transfer.status_code_ = 0;
    if (code_start != std::string_view::npos) {
      transfer.status_code_ = std::atoi(std::string(line.substr(code_start + 1, 3)).c_str());
    }
    transfer.status_text_ = text_start == std::string_view::npos
                                ? std::string()
                                : std::string(line.substr(text_start + 1, kMaxStatusText));
  }
  return size * count;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const size_t length = size * count;
  transfer.Touch();
  if (transfer.config_.CheckStatus && transfer.status_code_ != 200) {
    transfer.stop_ = Stop::Status;
    return CURL_WRITEFUNC_ERROR;
  }
  if (transfer.config_.MaxContentSize >= 0 &&
      transfer.body_.size() + length > static_cast<uint64_t>(transfer.config_.MaxContentSize)) {
    transfer.stop_ = Stop::TooLarge;
    return CURL_WRITEFUNC_ERROR;
  }
  transfer.body_.append(data, length);
  return length;
}

// The connection (and its TLS handshake) stands: from here on the receive time-out counts.
int Transfer::OnPrerequest(void* self, char*, char*, int, int) {
  auto& transfer = *static_cast<Transfer*>(self);
  transfer.connected_ = true;
  transfer.Touch();
  return CURL_PREREQFUNC_OK;
}

// Stops a transfer that received nothing for the receive time-out.
int Transfer::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(self);
  if (transfer.connected_ &&
      std::chrono::steady_clock::now() - transfer.last_activity_ > transfer.receive_timeout_) {
    transfer.stop_ = Stop::Idle;
    return 1;
  }
  return 0;
}

int Transfer::TransferIndex() {
  static const int index = ::SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// Every TLS connection of the transfer: present the client certificate when there is one, else
// note whether the server asks for one.
CURLcode Transfer::OnSslContext(CURL*, void* context, void* self) {
  auto* const ssl_context = static_cast<SSL_CTX*>(context);
  auto& transfer = *static_cast<Transfer*>(self);
  if (transfer.certificate_ != nullptr) {
    if (::SSL_CTX_use_certificate(ssl_context, transfer.certificate_->Certificate.get()) != 1 ||
        ::SSL_CTX_use_PrivateKey(ssl_context, transfer.certificate_->PrivateKey.get()) != 1) {
      return CURLE_SSL_CERTPROBLEM;
    }
    return CURLE_OK;
  }
  if (TransferIndex() < 0 || ::SSL_CTX_set_ex_data(ssl_context, TransferIndex(), self) != 1) {
    return CURLE_SSL_CERTPROBLEM;
  }
  ::SSL_CTX_set_client_cert_cb(ssl_context, &Transfer::OnClientCertificateRequest);
  return CURLE_OK;
}

int Transfer::OnClientCertificateRequest(SSL* ssl, X509**, EVP_PKEY**) {
  auto* const transfer =
      static_cast<Transfer*>(::SSL_CTX_get_ex_data(::SSL_get_SSL_CTX(ssl), TransferIndex()));
  if (transfer != nullptr) {
    transfer->certificate_requested_ = true;
  }
  return 0;  // no certificate: the handshake goes on without one
}

}  // namespace

CHttpsClient::CHttpsClient() : curl_(kCurl) {}

std::string CHttpsClient::Get(std::string_view url) {
  if (url.empty()) {
    rtl::RaiseFmt(u8"Передан пустой URL");
  }
  const std::string address = RequestUrl(ParseUrl(url));
  {
    Transfer first(Config, address, nullptr);
    if (!first.Run() || Config.ClientCertificate.empty()) {
      return first.Result();
    }
  }
  // The server asked for client authentication: once more, with the configured certificate.
  const LoadedCertificate certificate = LoadClientCertificate(Config);
  Transfer second(Config, address, &certificate);
  static_cast<void>(second.Run());
  return second.Result();
}

}  // namespace lyr::http
