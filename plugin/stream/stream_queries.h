/* The host's questions about a live stream: length, position check and
 * change, channel information and tag blocks, and the one StreamFunctions
 * record that hands them (with ReleaseStream) to CreateStream. */
#ifndef VARDEK_STREAM_QUERIES_H
#define VARDEK_STREAM_QUERIES_H

#include <cstdint>

#include "../host/host_interface.h"

/* Output length in bytes for mode 0; all ones with error 37 otherwise. */
uint64_t VARDEK_CALL QueryLength(void *instance, uint32_t mode);

/* True for a byte position inside the stream; error 37 for a mode whose low
 * 8 bits are set, error 7 for a position at or past the end. */
HostBool VARDEK_CALL CheckPosition(void *instance, uint64_t position, uint32_t mode);

/* Seeks the decoder to the frame holding `position` and returns `position`.
 * Relies on CheckPosition having accepted it. */
uint64_t VARDEK_CALL ApplyPosition(void *instance, uint64_t position, uint32_t mode);

/* Completes the channel flags, type (0x12000) and resolution (16). */
void VARDEK_CALL QueryInfo(void *instance, HostChannelInfo *info);

/* Tag block of `type`: 0 the inline ID3v1 block (never null), 1 the ID3v2
 * tag, 6 the APEv2 capture block; null otherwise. Valid until release. */
const void *VARDEK_CALL QueryTags(void *instance, uint32_t type);

/* Shared by every TAK stream; never changes. */
extern const StreamFunctions kTakStreamFunctions;

#endif
