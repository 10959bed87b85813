// Built with the SSSE3 instruction set enabled (see CMakeLists); reached only after a CPU check.
#include <tmmintrin.h>

#include "viewer/pixel_convert.h"

namespace tvx {

void BgrToBgraShuffle(const std::uint8_t* bgr, std::uint8_t* bgra, std::size_t pixels) {
  // Bytes 0..11 of the load hold four B,G,R triples; spread them to four B,G,R,0 quads and set alpha.
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t i = 0;
  // Each load reads 16 source bytes but uses 12: stop while six pixels (18 bytes) remain unread so the
  // load never passes the end of the row.
  for (; i + 6 <= pixels; i += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + i * 3));
    const __m128i out = _mm_or_si128(_mm_shuffle_epi8(in, spread), alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bgra + i * 4), out);
  }
  BgrToBgraScalar(bgr + i * 3, bgra + i * 4, pixels - i);
}

}  // namespace tvx
