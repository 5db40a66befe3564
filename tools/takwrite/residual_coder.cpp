/* TAK's residual codes. A residual block is a run of signed values (the
 * prediction errors of one subframe). Each value is folded to an unsigned
 * number (0, -1, 1, -2, ... become 0, 1, 2, 3, ...) and written with one of
 * 50 codes: a fixed-width field of `width` bits, one extension bit above an
 * escape threshold, then a unary step count of `step`-sized steps and, past
 * nine steps, an explicit count. Code 0 means "all zero" and writes nothing.
 * A block uses one code throughout or, when it is long enough, one code per
 * partition of the width the sample rate fixes. Owns no state; called by the
 * frame encoder. */
#include <algorithm>
#include <bit>

#include "tak_internal.h"

namespace takwrite {

namespace {

constexpr int kCodeCount = 50;
constexpr uint32_t kMaxPartitions = 128;

/* The parameters of residual code `code` (1-50). Values below `escape` take
 * `width` bits; values up to 2^width take one more bit; beyond that an
 * extended field in [ext_start, 2^(width+1)) plus steps of `step`. */
struct CodeParams {
  int width;
  uint32_t escape;
  uint32_t step;
  uint32_t ext_start;
};

CodeParams code_params(int code) {
  CodeParams p{};
  if (code == 1) {
    p = {1, 1, 1, 0};
  } else if (code == 2) {
    p = {2, 3, 1, 0};
  } else if (code == 3) {
    p = {3, 5, 2, 0};
  } else if (code % 2 == 1) { /* 5, 7, ... 49 */
    int j = (code - 1) / 2;
    p = {j + 2, 11u << (j - 2), 1u << j, 0};
  } else { /* 4, 6, ... 50 */
    int j = (code - 2) / 2;
    uint32_t step = 3u << (j - 1);
    p = {j + 2, step, step, 0};
  }
  p.ext_start = (2u << p.width) - p.step;
  return p;
}

uint32_t fold(int32_t v) {
  return (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31);
}

int bit_length(uint32_t v) { return v ? 32 - std::countl_zero(v) : 0; }

uint64_t value_bits(const CodeParams &p, uint32_t u) {
  if (u < p.escape)
    return p.width;
  if (u < p.ext_start - p.escape)
    return p.width + 1;
  uint32_t steps = (u - (p.ext_start - p.escape)) / p.step;
  if (steps < 9)
    return p.width + 1 + steps + 1;
  uint32_t extra = steps - 9;
  if (extra == 0)
    return p.width + 1 + 9 + 3;
  int count = std::max(1, bit_length(extra - 1));
  return p.width + 1 + 9 + 3 + (count >= 7 ? 5 : 0) + count;
}

void put_value(BitWriter &w, const CodeParams &p, uint32_t u) {
  uint32_t top = 1u << p.width;
  if (u < p.escape) {
    put_bits(w, u, p.width);
    return;
  }
  if (u < top) {
    put_bits(w, u, p.width);
    put_bits(w, 0, 1);
    return;
  }
  if (u < p.ext_start - p.escape) {
    put_bits(w, u + p.escape - top, p.width);
    put_bits(w, 1, 1);
    return;
  }
  uint32_t offset = u - (p.ext_start - p.escape);
  uint32_t steps = offset / p.step;
  put_bits(w, p.ext_start + offset % p.step - top, p.width);
  put_bits(w, 1, 1);
  if (steps < 9) {
    put_zeros(w, static_cast<int>(steps));
    put_bits(w, 1, 1);
    return;
  }
  put_zeros(w, 9);
  uint32_t extra = steps - 9;
  if (extra == 0) {
    put_bits(w, 0, 3);
    return;
  }
  int count = std::max(1, bit_length(extra - 1));
  if (count < 7) {
    put_bits(w, static_cast<uint32_t>(count), 3);
  } else {
    put_bits(w, 7, 3);
    put_bits(w, static_cast<uint32_t>(count - 7), 5);
  }
  put_bits(w, extra - 1, count);
}

/* Bits of the unary-coded change from one partition's code to the next. */
int code_change_bits(int from, int to) {
  int d = to - from;
  if (d == 0)
    return 1;
  if (d == -1)
    return 2;
  if (d == 1)
    return 3;
  if (d >= -4 && d <= 4)
    return (d < 0 ? -d : d) + 1 + 1 + 1; /* c = |d| + 1 zeros, stop bit, sign */
  return 6 + 6;
}

void put_code_change(BitWriter &w, int from, int to) {
  int d = to - from;
  if (d == 0) {
    put_bits(w, 1, 1);
  } else if (d == -1) {
    put_bits(w, 0b10, 2); /* one zero, then the stop bit */
  } else if (d == 1) {
    put_bits(w, 0b100, 3);
  } else if (d >= -4 && d <= 4) {
    int c = (d < 0 ? -d : d) + 1;
    put_zeros(w, c);
    put_bits(w, 1, 1);
    put_bits(w, d < 0 ? 1 : 0, 1);
  } else {
    put_zeros(w, 6);
    put_bits(w, static_cast<uint32_t>(to), 6);
  }
}

} // namespace

uint64_t residual_code_bits(int code, const int32_t *values, size_t count) {
  if (code == 0) {
    for (size_t i = 0; i < count; ++i)
      if (values[i] != 0)
        return UINT64_MAX;
    return 0;
  }
  CodeParams p = code_params(code);
  uint64_t bits = 0;
  for (size_t i = 0; i < count; ++i)
    bits += value_bits(p, fold(values[i]));
  return bits;
}

int best_residual_code(const int32_t *values, size_t count, uint64_t *bits) {
  uint64_t sum = 0;
  for (size_t i = 0; i < count; ++i)
    sum += fold(values[i]);
  if (sum == 0) {
    *bits = 0;
    return 0;
  }
  int guess = 2 * bit_length(static_cast<uint32_t>(sum / count + 1));
  int best = 1;
  uint64_t best_bits = UINT64_MAX;
  for (int code = std::max(1, guess - 6); code <= std::min(kCodeCount, guess + 3); ++code) {
    uint64_t b = residual_code_bits(code, values, count);
    if (b < best_bits) {
      best_bits = b;
      best = code;
    }
  }
  *bits = best_bits;
  return best;
}

void put_residuals(BitWriter &w, int code, const int32_t *values, size_t count) {
  if (code == 0)
    return;
  CodeParams p = code_params(code);
  for (size_t i = 0; i < count; ++i)
    put_value(w, p, fold(values[i]));
}

uint32_t residual_partition_width(uint32_t sample_rate) {
  uint32_t base = ((sample_rate + 511) >> 9);
  base = (base + 3) & ~3u;
  int shift = sample_rate < 11025 ? 3 : sample_rate < 22050 ? 2 : sample_rate < 44100 ? 1 : 0;
  return base << shift;
}

namespace {

/* How the decoder splits `count` values into partitions of `width`: all but
 * the last are `width` long; the last takes the rest (half a width or more). */
bool partition_layout(size_t count, uint32_t width, uint32_t &partitions, uint32_t &last) {
  if (width == 0)
    return false;
  size_t whole = count / width;
  size_t rest = count - whole * width;
  if (rest < width / 2)
    rest += width;
  else
    ++whole;
  if (whole <= 1 || whole > kMaxPartitions)
    return false;
  partitions = static_cast<uint32_t>(whole);
  last = static_cast<uint32_t>(rest);
  return true;
}

} // namespace

bool put_residual_block(BitWriter &w, const int32_t *values, size_t count,
                        uint32_t partition_width, bool allow_partitions) {
  uint64_t single_bits = 0;
  int single = best_residual_code(values, count, &single_bits);
  uint32_t partitions = 0, last = 0;
  if (allow_partitions && partition_layout(count, partition_width, partitions, last)) {
    std::vector<int> codes(partitions);
    uint64_t total = 6;
    for (uint32_t i = 0; i < partitions; ++i) {
      size_t len = i + 1 < partitions ? partition_width : last;
      uint64_t bits = 0;
      codes[i] = best_residual_code(values + static_cast<size_t>(i) * partition_width, len, &bits);
      total += bits + (i ? static_cast<uint64_t>(code_change_bits(codes[i - 1], codes[i])) : 0);
    }
    if (total < single_bits) {
      put_bits(w, 1, 1);
      put_bits(w, static_cast<uint32_t>(codes[0]), 6);
      for (uint32_t i = 1; i < partitions; ++i)
        put_code_change(w, codes[i - 1], codes[i]);
      for (uint32_t i = 0; i < partitions; ++i) {
        size_t len = i + 1 < partitions ? partition_width : last;
        put_residuals(w, codes[i], values + static_cast<size_t>(i) * partition_width, len);
      }
      return true;
    }
  }
  put_bits(w, 0, 1);
  put_bits(w, static_cast<uint32_t>(single), 6);
  put_residuals(w, single, values, count);
  return false;
}

} // namespace takwrite
