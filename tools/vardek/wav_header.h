/* The RIFF/WAVE header `vardek decode` writes in front of the samples:
 * 16-bit PCM or IEEE float, WAVE_FORMAT_EXTENSIBLE with a speaker mask when
 * there are more than two channels. */
#ifndef VARDEK_WAV_HEADER_H
#define VARDEK_WAV_HEADER_H

#include <cstdint>
#include <vector>

/* The header for `dataBytes` bytes of samples (sizes saturate at 4 GiB). */
std::vector<uint8_t> WavHeader(uint32_t rate, uint32_t channels, bool floatSamples,
                               uint64_t dataBytes);

/* The usual speaker mask for `channels` channels (FL FR FC LFE BL BR ...). */
uint32_t WavChannelMask(uint32_t channels);

#endif
