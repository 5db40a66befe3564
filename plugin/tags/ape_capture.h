/* Capture of the raw APEv2 tag at the end of a TAK file (tag type 6). */
#ifndef VARDEK_APE_CAPTURE_H
#define VARDEK_APE_CAPTURE_H

#include <cstdint>

struct TakStream;

/* The APEv2 footer that ends a file and that starts the capture block. */
constexpr uint32_t kApeFooterSize = 32;
/* Tag sizes from here up are refused. */
constexpr uint32_t kApeTagSizeLimit = 0x1000000u;

/* Sets record->apeTag to a heap block holding the footer, then the file's last
 * tag-size bytes; leaves it null when the file ends in no usable APEv2 tag. */
void CaptureApeTag(TakStream *record);

#endif
