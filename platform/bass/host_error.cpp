/* The per-thread error code: what ReportError (slot 0) sets and what
 * BASS_ErrorGetCode reads back, plus the English meaning of each code for
 * programs that print it. Every other host file sets the code through
 * HostReportError; nothing here is shared between threads. */
#include "host_internal.h"

namespace {
thread_local int32_t lastError = HOST_OK;

struct ErrorText {
  int32_t code;
  const char *text;
};

constexpr ErrorText kErrorTexts[] = {
    {HOST_OK, "no error"},
    {HOST_ERROR_MEMORY, "out of memory"},
    {HOST_ERROR_FILEOPEN, "the file could not be opened"},
    {HOST_ERROR_HANDLE, "not a valid handle"},
    {HOST_ERROR_POSITION, "position beyond the end"},
    {HOST_ERROR_SSL, "TLS is not available or failed"},
    {HOST_ERROR_ILLTYPE, "an illegal type was given"},
    {HOST_ERROR_ILLPARAM, "an illegal parameter was given"},
    {HOST_ERROR_NONET, "no connection could be made"},
    {HOST_ERROR_NOTAVAIL, "the requested data or mode is not available"},
    {HOST_ERROR_DECODE, "the channel is not a decoding channel"},
    {HOST_ERROR_TIMEOUT, "the connection timed out"},
    {HOST_ERROR_FILEFORM, "not a file format that can be played"},
    {HOST_ERROR_VERSION, "the plug-in needs another host version"},
    {HOST_ERROR_ENDED, "the channel has ended"},
    {HOST_ERROR_PROTOCOL, "the server answered with an error or an unusable response"},
};
}  // namespace

void VARDEK_CALL HostReportError(int32_t code) { lastError = code; }

extern "C" int32_t VARDEK_CALL BASS_ErrorGetCode(void) { return lastError; }

extern "C" const char *VARDEK_CALL BASS_ErrorGetText(int32_t code) {
  for (const ErrorText &entry : kErrorTexts)
    if (entry.code == code) return entry.text;
  return "unknown error";
}
