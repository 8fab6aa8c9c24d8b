// Plain ASCII runs of text, the bulk of every drawing's texts, widened to wide characters and
// narrowed back 16 at a time. Plain means what the file's encodings all write as the character
// itself: for bytes, below 0x80 and neither the caret nor the backslash that begin escapes; for
// characters, from 0x20 to 0x7F and not the caret. Without SSE2 (32-bit builds), a character at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#define CADHOST_PLAIN_ASCII_SSE2 1
#endif

namespace cadhost::dxf {

inline bool isPlainByte(unsigned char b) { return b < 0x80 && b != '^' && b != '\\'; }
inline bool isPlainCharacter(wchar_t c) {
  return static_cast<uint32_t>(c) >= 0x20 && static_cast<uint32_t>(c) < 0x80 && c != L'^';
}

// Appends to out the plain bytes that s begins with, widened; gives their count.
inline size_t widenPlainAscii(std::string_view s, std::wstring& out) {
  size_t n = 0;
#if defined(CADHOST_PLAIN_ASCII_SSE2)
  const size_t at = out.size();
  if (s.size() >= 16) out.resize(at + s.size() / 16 * 16);  // room for every whole block; cut back below
  const __m128i zero = _mm_setzero_si128(), caret = _mm_set1_epi8('^'), backslash = _mm_set1_epi8('\\');
  while (n + 16 <= s.size()) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + n));
    // The top bit of each byte: set for 0x80 and above, and by the comparisons for ^ and \.
    const __m128i escapes = _mm_or_si128(_mm_cmpeq_epi8(v, caret), _mm_cmpeq_epi8(v, backslash));
    const int special = _mm_movemask_epi8(_mm_or_si128(v, escapes));
    if (special != 0) break;
    wchar_t* to = out.data() + at + n;
    const __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
    if constexpr (sizeof(wchar_t) == 2) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), low);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), high);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi16(low, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4), _mm_unpackhi_epi16(low, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpacklo_epi16(high, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 12), _mm_unpackhi_epi16(high, zero));
    }
    n += 16;
  }
  out.resize(at + n);
#endif
  const size_t from = n;
  while (n < s.size() && isPlainByte(static_cast<unsigned char>(s[n]))) ++n;
  out.append(s.begin() + static_cast<std::ptrdiff_t>(from), s.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

// Appends to out the plain characters that text begins with, narrowed; gives their count.
inline size_t narrowPlainAscii(std::wstring_view text, std::string& out) {
  size_t n = 0;
#if defined(CADHOST_PLAIN_ASCII_SSE2)
  const size_t at = out.size();
  if (text.size() >= 16) out.resize(at + text.size() / 16 * 16);  // room for every whole block; cut back below
  const __m128i below = _mm_set1_epi8(0x20), caret = _mm_set1_epi8('^');
  while (n + 16 <= text.size()) {
    const auto* from = reinterpret_cast<const __m128i*>(text.data() + n);
    // Narrowed with saturation: a character of 0x80 or more comes out as 0x80 or more (negative
    // as a signed byte), one whose top bit is set as 0; both count as below 0x20.
    __m128i bytes;
    if constexpr (sizeof(wchar_t) == 2) {
      bytes = _mm_packus_epi16(_mm_loadu_si128(from), _mm_loadu_si128(from + 1));
    } else {
      const __m128i low = _mm_packs_epi32(_mm_loadu_si128(from), _mm_loadu_si128(from + 1));
      const __m128i high = _mm_packs_epi32(_mm_loadu_si128(from + 2), _mm_loadu_si128(from + 3));
      bytes = _mm_packus_epi16(low, high);
    }
    const int special = _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(bytes, below), _mm_cmpeq_epi8(bytes, caret)));
    if (special != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + at + n), bytes);
    n += 16;
  }
  out.resize(at + n);
#endif
  const size_t from = n;
  while (n < text.size() && isPlainCharacter(text[n])) ++n;
  const size_t tail = out.size();
  out.resize(tail + (n - from));
  for (size_t i = from; i < n; ++i) out[tail + i - from] = static_cast<char>(text[i]);
  return n;
}

}  // namespace cadhost::dxf
