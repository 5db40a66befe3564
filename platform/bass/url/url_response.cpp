/* Response headers and error codes for URL files (url_response.h). Borrows
 * the header lines from libcurl's header callback; owns nothing. */
#include "url_response.h"

#include <cctype>

#include "host/host_interface.h"

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool HasPrefix(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameWord(text.substr(0, prefix.size()), prefix);
}

/* "123" or "*" (as UINT64_MAX when `star` allows it). */
bool ParseNumberOrStar(std::string_view text, bool star, uint64_t *value) {
  if (star && Trim(text) == "*") {
    *value = UINT64_MAX;
    return true;
  }
  return ParseDecimal(text, value);
}

}  // namespace

bool ParseDecimal(std::string_view text, uint64_t *value) {
  text = Trim(text);
  if (text.empty() || text.size() > 19) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = result;
  return true;
}

bool ParseContentRange(std::string_view value, uint64_t *first, uint64_t *total) {
  value = Trim(value);
  if (!HasPrefix(value, "bytes ")) return false;
  value = Trim(value.substr(6));
  size_t slash = value.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view span = value.substr(0, slash);
  if (!ParseNumberOrStar(value.substr(slash + 1), true, total)) return false;
  if (Trim(span) == "*") {
    *first = UINT64_MAX;
    return *total != UINT64_MAX;
  }
  size_t dash = span.find('-');
  uint64_t last = 0;
  if (dash == std::string_view::npos || !ParseDecimal(span.substr(0, dash), first) ||
      !ParseDecimal(span.substr(dash + 1), &last))
    return false;
  return *first <= last && (*total == UINT64_MAX || last < *total);
}

void ResponseAddLine(UrlResponse &response, std::string_view line) {
  if (HasPrefix(line, "HTTP/")) {
    response = UrlResponse{};
    return;
  }
  size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  std::string_view name = Trim(line.substr(0, colon));
  std::string_view value = Trim(line.substr(colon + 1));
  if (SameWord(name, "Content-Length")) {
    if (!ParseDecimal(value, &response.contentLength)) response.contentLength = UINT64_MAX;
  } else if (SameWord(name, "Content-Range")) {
    response.hasContentRange = ParseContentRange(value, &response.rangeFirst, &response.rangeTotal);
  } else if (SameWord(name, "Accept-Ranges")) {
    response.acceptRanges = SameWord(value, "bytes");
  } else if (SameWord(name, "Location")) {
    response.hasLocation = !value.empty();
  }
}

int32_t HostErrorFromCurl(CURLcode code) {
  switch (code) {
    case CURLE_OK: return HOST_OK;
    case CURLE_URL_MALFORMAT: return HOST_ERROR_ILLPARAM;
    case CURLE_OUT_OF_MEMORY: return HOST_ERROR_MEMORY;
    case CURLE_OPERATION_TIMEDOUT: return HOST_ERROR_TIMEOUT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return HOST_ERROR_NONET;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED: return HOST_ERROR_SSL;
    case CURLE_HTTP_RETURNED_ERROR: return HOST_ERROR_FILEOPEN;
    default: return HOST_ERROR_PROTOCOL;
  }
}
