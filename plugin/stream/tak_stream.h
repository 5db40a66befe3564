/* The per-stream record (TakStream) and the operations that create and
 * release it. A TakStream is the instance value of every host stream
 * callback and the user value of every decoder callback; it lives from
 * CreateTakStream until ReleaseStream. */
#ifndef VARDEK_TAK_STREAM_H
#define VARDEK_TAK_STREAM_H

#include <cstdint>

#include "../host/host_interface.h"
#include "decoder_interface.h"

struct TakStream {
  TakDecoder *decoder;   /* the decoder opened over this record */
  HostStream stream;     /* from CreateStream */
  HostFile file;         /* read by the decoder and by the APEv2 capture */
  uint32_t flags;        /* creation flags after masking; 0x100 = float output */
  uint16_t channels;     /* channel count of the decoded PCM */
  uint16_t bits;         /* bits per sample of the decoded PCM */
  int64_t sampleRate;    /* Hz; the host is given the low 32 bits */
  uint64_t frames;       /* total frames in the file */
  uint8_t id3v1[128];    /* the ID3v1 block, all zero unless filled */
  uint8_t *id3v2;        /* owned: the ID3v2 tag, or null */
  uint8_t *apeTag;       /* owned: the APEv2 capture block, or null */
};

/* Creation flags that reach the host; everything else is dropped. */
constexpr uint32_t kStreamFlagMask = 0x3F24019Cu;
/* The one creation flag the plug-in interprets: deliver 32-bit float. */
constexpr uint32_t kStreamFlagFloat = 0x100u;

/* Opens `file` as a TAK stream. Returns the host stream handle, or 0 with the
 * reason in the host's error code. Never closes the file. */
HostStream VARDEK_CALL CreateTakStream(HostFile file, uint32_t flags);

/* Destroys the decoder and frees the tag blocks and the record. Does not close
 * the file. */
void VARDEK_CALL ReleaseStream(void *instance);

/* Checks the decoder and copies the stream's format into `record`, then
 * captures the tags. 0 on success, -1 on failure. */
int LoadStreamFormat(TakStream *record);

/* Bytes of one output frame: channels x 4 for float output, x 2 otherwise. */
inline uint64_t OutputFrameSize(const TakStream *record) {
  return uint64_t(record->channels) * ((record->flags & kStreamFlagFloat) ? 4u : 2u);
}

#endif
