#include "viewer/pixel_convert.h"

namespace tvx {

void BgrToBgraScalar(const std::uint8_t* bgr, std::uint8_t* bgra, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) {
    bgra[0] = bgr[0];
    bgra[1] = bgr[1];
    bgra[2] = bgr[2];
    bgra[3] = 255;
    bgr += 3;
    bgra += 4;
  }
}

}  // namespace tvx
