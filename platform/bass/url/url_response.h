/* What a UrlSource learns from an HTTP response's header lines, and how a
 * libcurl result becomes a host error code. Pure functions over a plain
 * record; the transfer thread (url_transfer.cpp) feeds them and tests call
 * them directly. */
#ifndef VARDEK_URL_RESPONSE_H
#define VARDEK_URL_RESPONSE_H

#include <curl/curl.h>

#include <cstdint>
#include <string_view>

struct UrlResponse {
  bool acceptRanges = false;             /* Accept-Ranges: bytes */
  bool hasLocation = false;              /* a Location header came */
  bool hasContentRange = false;          /* Content-Range parsed */
  uint64_t rangeFirst = UINT64_MAX;      /* its first byte; UINT64_MAX for "*" */
  uint64_t rangeTotal = UINT64_MAX;      /* its complete length; UINT64_MAX for "*" */
  uint64_t contentLength = UINT64_MAX;   /* Content-Length, UINT64_MAX when absent */
};

/* Feeds one header line, CRLF included or not. A status line ("HTTP/...")
 * starts a new response and forgets the previous one's headers. */
void ResponseAddLine(UrlResponse &response, std::string_view line);

/* Parses a Content-Range value: "bytes 10-99/100", a span with an unknown
 * total (a star after the slash) or an unsatisfied range (a star before
 * it, "/100" after). False when it is none of these. */
bool ParseContentRange(std::string_view value, uint64_t *first, uint64_t *total);

/* Parses a run of decimal digits with nothing around it but blanks. */
bool ParseDecimal(std::string_view text, uint64_t *value);

/* The host error code for a failed transfer. */
int32_t HostErrorFromCurl(CURLcode code);

#endif
