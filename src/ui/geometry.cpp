#include "ui/geometry.h"

#include <cmath>

namespace tvx::ui {

Transform Transform::Rotation(float degrees) {
  const double radians = degrees * 3.14159265358979323846 / 180.0;
  const float c = static_cast<float>(std::cos(radians));
  const float s = static_cast<float>(std::sin(radians));
  return {c, s, -s, c, 0, 0};
}

Transform Transform::Then(const Transform& n) const {
  return {m11 * n.m11 + m12 * n.m21,  m11 * n.m12 + m12 * n.m22,      m21 * n.m11 + m22 * n.m21,
          m21 * n.m12 + m22 * n.m22,  dx * n.m11 + dy * n.m21 + n.dx, dx * n.m12 + dy * n.m22 + n.dy};
}

}  // namespace tvx::ui
