// The table of Internet-client error codes with their names and texts, as the system's Internet
// client documents them (codes 6, 18, 234 and 259 are general system codes that the client also
// returns; their texts are the system's own messages).
#include "http/internet_errors.h"

#include <algorithm>
#include <array>

namespace lyr::http {
namespace {

constexpr std::array kErrors{
    InternetError{6, "ERROR_INVALID_HANDLE", "The handle is invalid."},
    InternetError{18, "ERROR_NO_MORE_FILES", "There are no more files."},
    InternetError{234, "ERROR_MORE_DATA", "More data is available."},
    InternetError{259, "ERROR_NO_MORE_ITEMS", "No more data is available."},
    InternetError{12001, "ERROR_INTERNET_OUT_OF_HANDLES",
                  "No more handles could be generated at this time."},
    InternetError{12002, "ERROR_INTERNET_TIMEOUT", "The request has timed out."},
    InternetError{12003, "ERROR_INTERNET_EXTENDED_ERROR",
                  "An extended error was returned from the server. This is typically a string or "
                  "buffer containing a verbose error message. Call InternetGetLastResponseInfo to "
                  "retrieve the error text."},
    InternetError{12004, "ERROR_INTERNET_INTERNAL_ERROR", "An internal error has occurred."},
    InternetError{12005, "ERROR_INTERNET_INVALID_URL", "The URL is invalid."},
    InternetError{12006, "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
                  "The URL scheme could not be recognized, or is not supported."},
    InternetError{12007, "ERROR_INTERNET_NAME_NOT_RESOLVED",
                  "The server name could not be resolved."},
    InternetError{12008, "ERROR_INTERNET_PROTOCOL_NOT_FOUND",
                  "The requested protocol could not be located."},
    InternetError{12009, "ERROR_INTERNET_INVALID_OPTION",
                  "A request to InternetQueryOption or InternetSetOption specified an invalid "
                  "option value."},
    InternetError{12010, "ERROR_INTERNET_BAD_OPTION_LENGTH",
                  "The length of an option supplied to InternetQueryOption or InternetSetOption "
                  "is incorrect for the type of option specified."},
    InternetError{12011, "ERROR_INTERNET_OPTION_NOT_SETTABLE",
                  "The request option cannot be set, only queried."},
    InternetError{12012, "ERROR_INTERNET_SHUTDOWN",
                  "The Win32 Internet function support is being shut down or unloaded."},
    InternetError{12013, "ERROR_INTERNET_INCORRECT_USER_NAME",
                  "The request to connect and log on to an FTP server could not be completed "
                  "because the supplied user name is incorrect."},
    InternetError{12014, "ERROR_INTERNET_INCORRECT_PASSWORD",
                  "The request to connect and log on to an FTP server could not be completed "
                  "because the supplied password is incorrect."},
    InternetError{12015, "ERROR_INTERNET_LOGIN_FAILURE",
                  "The request to connect to and log on to an FTP server failed."},
    InternetError{12016, "ERROR_INTERNET_INVALID_OPERATION", "The requested operation is invalid."},
    InternetError{12017, "ERROR_INTERNET_OPERATION_CANCELLED",
                  "The operation was canceled, usually because the handle on which the request "
                  "was operating was closed before the operation completed."},
    InternetError{12018, "ERROR_INTERNET_INCORRECT_HANDLE_TYPE",
                  "The type of handle supplied is incorrect for this operation."},
    InternetError{12019, "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
                  "The requested operation cannot be carried out because the handle supplied is "
                  "not in the correct state."},
    InternetError{12020, "ERROR_INTERNET_NOT_PROXY_REQUEST",
                  "The request cannot be made via a proxy."},
    InternetError{12021, "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
                  "A required registry value could not be located."},
    InternetError{12022, "ERROR_INTERNET_BAD_REGISTRY_PARAMETER",
                  "A required registry value was located but is an incorrect type or has an "
                  "invalid value."},
    InternetError{12023, "ERROR_INTERNET_NO_DIRECT_ACCESS",
                  "Direct network access cannot be made at this time."},
    InternetError{12024, "ERROR_INTERNET_NO_CONTEXT",
                  "An asynchronous request could not be made because a zero context value was "
                  "supplied."},
    InternetError{12025, "ERROR_INTERNET_NO_CALLBACK",
                  "An asynchronous request could not be made because a callback function has not "
                  "been set."},
    InternetError{12026, "ERROR_INTERNET_REQUEST_PENDING",
                  "The required operation could not be completed because one or more requests "
                  "are pending."},
    InternetError{12027, "ERROR_INTERNET_INCORRECT_FORMAT",
                  "The format of the request is invalid."},
    InternetError{12028, "ERROR_INTERNET_ITEM_NOT_FOUND",
                  "The requested item could not be located."},
    InternetError{12029, "ERROR_INTERNET_CANNOT_CONNECT",
                  "The attempt to connect to the server failed."},
    InternetError{12030, "ERROR_INTERNET_CONNECTION_ABORTED",
                  "The connection with the server has been terminated."},
    InternetError{12031, "ERROR_INTERNET_CONNECTION_RESET",
                  "The connection with the server has been reset."},
    InternetError{12032, "ERROR_INTERNET_FORCE_RETRY", "The function needs to redo the request."},
    InternetError{12033, "ERROR_INTERNET_INVALID_PROXY_REQUEST",
                  "The request to the proxy was invalid."},
    InternetError{12036, "ERROR_INTERNET_HANDLE_EXISTS",
                  "The request failed because the handle already exists."},
    InternetError{12037, "ERROR_INTERNET_SEC_CERT_DATE_INVALID",
                  "SSL certificate date that was received from the server is bad. The certificate "
                  "is expired."},
    // The dash is windows-1251 0x97 (an em dash).
    InternetError{12038, "ERROR_INTERNET_SEC_CERT_CN_INVALID",
                  "SSL certificate common name (host name field) is incorrect\x97"
                  "for example, if you entered www.server.com and the common name on the "
                  "certificate says www.different.com."},
    InternetError{12039, "ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR",
                  "The application is moving from a non-SSL to an SSL connection because of a "
                  "redirect."},
    InternetError{12040, "ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR",
                  "The application is moving from an SSL to an non-SSL connection because of a "
                  "redirect."},
    InternetError{12041, "ERROR_INTERNET_MIXED_SECURITY",
                  "The content is not entirely secure. Some of the content being viewed may have "
                  "come from unsecured servers."},
    InternetError{12042, "ERROR_INTERNET_CHG_POST_IS_NON_SECURE",
                  "The application is posting and attempting to change multiple lines of text on "
                  "a server that is not secure."},
    InternetError{12043, "ERROR_INTERNET_POST_IS_NON_SECURE",
                  "The application is posting data to a server that is not secure."},
    InternetError{12044, "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED",
                  "The server is requesting client authentication."},
    InternetError{12045, "ERROR_INTERNET_INVALID_CA",
                  "The function is unfamiliar with the Certificate Authority that generated the "
                  "server's certificate."},
    InternetError{12046, "ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP",
                  "Client authorization is not set up on this computer."},
    InternetError{12047, "ERROR_INTERNET_ASYNC_THREAD_FAILED",
                  "The application could not start an asynchronous thread."},
    InternetError{12048, "ERROR_INTERNET_REDIRECT_SCHEME_CHANGE",
                  "The function could not handle the redirection, because the scheme changed (for "
                  "example, HTTP to FTP)."},
    InternetError{12049, "ERROR_INTERNET_DIALOG_PENDING",
                  "Another thread has a password dialog box in progress."},
    InternetError{12050, "ERROR_INTERNET_RETRY_DIALOG", "The dialog box should be retried."},
    InternetError{12052, "ERROR_INTERNET_HTTPS_HTTP_SUBMIT_REDIR",
                  "The data being submitted to an SSL connection is being redirected to a non-SSL "
                  "connection."},
    InternetError{12053, "ERROR_INTERNET_INSERT_CDROM",
                  "The request requires a CD-ROM to be inserted in the CD-ROM drive to locate the "
                  "resource requested."},
    InternetError{12150, "ERROR_HTTP_HEADER_NOT_FOUND",
                  "The requested header could not be located."},
    InternetError{12151, "ERROR_HTTP_DOWNLEVEL_SERVER", "The server did not return any headers."},
    InternetError{12152, "ERROR_HTTP_INVALID_SERVER_RESPONSE",
                  "The server response could not be parsed."},
    InternetError{12153, "ERROR_HTTP_INVALID_HEADER", "The supplied header is invalid."},
    InternetError{12154, "ERROR_HTTP_INVALID_QUERY_REQUEST",
                  "The request made to HttpQueryInfo is invalid."},
    InternetError{12155, "ERROR_HTTP_HEADER_ALREADY_EXISTS",
                  "The header could not be added because it already exists."},
    InternetError{12156, "ERROR_HTTP_REDIRECT_FAILED",
                  "The redirection failed because either the scheme changed (for example, HTTP to "
                  "FTP) or all attempts made to redirect failed (default is five attempts)."},
    InternetError{12157, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR",
                  "The application experienced an internal error loading the SSL libraries."},
    InternetError{12158, "ERROR_INTERNET_UNABLE_TO_CACHE_FILE",
                  "The function was unable to cache the file."},
    InternetError{12159, "ERROR_INTERNET_TCPIP_NOT_INSTALLED",
                  "The required protocol stack is not loaded and the application cannot start "
                  "WinSock."},
    InternetError{12160, "ERROR_HTTP_NOT_REDIRECTED", "The HTTP request was not redirected."},
    InternetError{12161, "ERROR_HTTP_COOKIE_NEEDS_CONFIRMATION",
                  "The HTTP cookie requires confirmation."},
    InternetError{12162, "ERROR_HTTP_COOKIE_DECLINED",
                  "The HTTP cookie was declined by the server."},
    InternetError{12163, "ERROR_INTERNET_DISCONNECTED", "The Internet connection has been lost."},
    InternetError{12164, "ERROR_INTERNET_SERVER_UNREACHABLE",
                  "The Web site or server indicated is unreachable."},
    InternetError{12165, "ERROR_INTERNET_PROXY_SERVER_UNREACHABLE",
                  "The designated proxy server cannot be reached."},
    InternetError{12166, "ERROR_INTERNET_BAD_AUTO_PROXY_SCRIPT",
                  "There was an error in the automatic proxy configuration script."},
    InternetError{12167, "ERROR_INTERNET_UNABLE_TO_DOWNLOAD_SCRIPT",
                  "The automatic proxy configuration script could not be downloaded. The "
                  "INTERNET_FLAG_MUST_CACHE_REQUEST flag was set."},
    InternetError{12168, "ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION",
                  "The redirection requires user confirmation."},
    InternetError{12169, "ERROR_INTERNET_SEC_INVALID_CERT", "SSL certificate is invalid."},
    InternetError{12170, "ERROR_INTERNET_SEC_CERT_REVOKED", "SSL certificate was revoked."},
    InternetError{12171, "ERROR_INTERNET_FAILED_DUETOSECURITYCHECK",
                  "The function failed due to a security check."},
};

}  // namespace

std::span<const InternetError> InternetErrors() noexcept {
  return kErrors;
}

std::string InternetErrorText(int32_t code) {
  const auto found = std::lower_bound(
      kErrors.begin(), kErrors.end(), code,
      [](const InternetError& error, int32_t value) { return error.Code < value; });
  if (found == kErrors.end() || found->Code != code) {
    return "Error";
  }
  return found->Text;
}

}  // namespace lyr::http
