/* Turning an APEv2 text value (UTF-8, several values separated by NUL bytes)
 * into Windows-1252 text. Owns nothing; writes into the caller's buffer.
 * Called by tak_APE_GetTextItemValueAsAnsi. */
#ifndef TAK_DECO_ANSI_TEXT_H
#define TAK_DECO_ANSI_TEXT_H

#include <cstdint>

/* Converts `size` bytes of UTF-8 to Windows-1252:
 * - every character 1252 cannot hold becomes `replacement`, and so does every
 *   byte of malformed UTF-8 (a stray byte, a cut or overlong sequence, a
 *   surrogate, a code point beyond U+10FFFF);
 * - the NUL bytes that separate values become "; "; a single NUL at the very
 *   end only ends the last value;
 * - at most `maxChars` characters are produced (-1 = no limit).
 * Writes at most capacity - 1 characters and a terminating zero into `out`
 * (nothing when `out` is null or capacity is 0). Returns the full length of
 * the converted text, terminating zero excluded, whatever the capacity. */
int64_t Utf8ToAnsi(const uint8_t *text, int64_t size, int64_t maxChars, char replacement,
                   char *out, int64_t capacity);

/* The Windows-1252 byte for a code point, or -1 when 1252 has none. */
int CodePointToAnsi(uint32_t codePoint);

#endif
