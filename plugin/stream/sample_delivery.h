/* The stream's sample procedure: decodes whole frames on the host's demand
 * and converts them to 16-bit or float output. */
#ifndef VARDEK_SAMPLE_DELIVERY_H
#define VARDEK_SAMPLE_DELIVERY_H

#include <cstdint>

#include "../host/host_interface.h"

/* Fills `buffer` (`length` bytes) with whole output frames of the TakStream
 * `instance` and returns the bytes written, or HOST_STREAM_END when the
 * decoder has no more frames, fails, or no scratch memory is to be had (the
 * last also reports HOST_ERROR_MEMORY). */
uint32_t VARDEK_CALL TakStreamProc(HostStream handle, void *buffer, uint32_t length, void *instance);

#endif
