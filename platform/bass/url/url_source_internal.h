/* The UrlSource record shared by the reader side (url_source.cpp) and the
 * transfer thread (url_transfer.cpp). Fields under "shared" are guarded by
 * `lock`; fields under "transfer thread" are touched only by that thread
 * (and by open/close before it starts and after it has joined). All
 * positions here are resource positions; the public functions subtract
 * `offset`. */
#ifndef VARDEK_URL_SOURCE_INTERNAL_H
#define VARDEK_URL_SOURCE_INTERNAL_H

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "url_response.h"
#include "url_source.h"
#include "url_window.h"

using UrlClock = std::chrono::steady_clock;

/* UrlSource::requestAt when the reader wants the transfer stopped, not a new one. */
constexpr uint64_t kNoRequest = UINT64_MAX;

enum class UrlTransferState { Running, Done, Failed };
enum class UrlRanges { Unknown, Accepted, Refused };

struct UrlSource {
  /* fixed at open */
  std::string url;
  uint64_t offset = 0;
  HostDownloadProc proc = nullptr;
  void *user = nullptr;
  uint32_t timeoutMs = 0;
  uint64_t windowBytes = 0;

  /* shared, under `lock` */
  std::mutex lock;
  std::condition_variable changed;  /* new data, a state change, or an answer */
  UrlWindow window;
  uint64_t position = 0;            /* the reader's position */
  uint64_t total = UINT64_MAX;      /* the resource's size, UINT64_MAX unknown */
  UrlRanges ranges = UrlRanges::Unknown;
  UrlTransferState state = UrlTransferState::Running;
  int32_t error = HOST_OK;          /* why the last transfer failed */
  bool answered = false;            /* the first response's headers are in */
  uint64_t generation = 1;          /* bumped for every new request */
  uint64_t requestAt = 0;           /* where that request starts; kNoRequest for none */
  bool paused = false;              /* the transfer waits for room */
  bool stop = false;                /* close asked the thread to end */
  uint64_t requests = 0;
  uint64_t peakHeld = 0;

  /* transfer thread */
  CURLM *multi = nullptr;
  CURL *easy = nullptr;
  bool active = false;              /* `easy` is in `multi` */
  uint64_t activeGeneration = 0;
  uint64_t incoming = 0;            /* resource position of the next body byte */
  bool bodyStarted = false;         /* the final response's headers are in */
  int32_t statusError = HOST_OK;    /* an error found in the headers */
  bool rangeEnd = false;            /* 416: nothing lies past the request's start */
  bool sentRange = false;           /* the request asked for a range */
  uint64_t sentFrom = 0;            /* the first byte it asked for */
  UrlResponse response;
  UrlClock::time_point lastProgress;
  uint64_t procNext = 0;            /* the next byte the download procedure expects */
  bool procEnded = false;           /* its final call is made (or must not be) */
  std::thread worker;
};

/* Sets up libcurl for `source`; false when out of memory. */
bool TransferCreate(UrlSource *source);

/* The transfer thread's body: runs requests until `stop`. */
void TransferRun(UrlSource *source);

/* Frees what TransferCreate set up (after the thread has ended). */
void TransferDestroy(UrlSource *source);

/* Makes the download procedure's final call if it is still due (after the
 * thread has ended). */
void TransferEndDownloadProc(UrlSource *source);

/* Wakes the transfer thread (any thread, any time while it exists). */
void TransferWake(UrlSource *source);

#endif
