// What viewers put on the host's screen: pointers, drawings and ping rings, as the annotation store
// keeps them. The pointer-channel messages that feed it are net/pointer_messages.h's records.
//
// Positions are fractions (0 .. 1) of the shared picture; colours are 0xAARRGGBB; times are ms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/pointer_messages.h"

namespace tvx {

// Arrow heads and ping shapes.
enum DrawingStyle : std::uint8_t { kStyleRound = 0, kStyleStar = 1, kStyleHeart = 2 };

struct RemotePointer {
  std::uint32_t viewerId = 0;
  float x = 0;
  float y = 0;
  bool visible = false;
  std::uint32_t colour = 0;
  std::wstring name;  // shown as the pointer's label
  std::uint64_t lastUpdate = 0;
};

// A finished drawing or the preview of one still being dragged.
struct Drawing {
  std::uint32_t id = 0;  // the viewer's own id for it
  std::uint32_t viewerId = 0;
  DrawingShape kind = DrawingShape::kArrow;
  std::uint32_t colour = 0;
  float width = 1;              // pixels of a 1080-pixel-high screen, 1 .. 40
  std::uint32_t lifetime = 0;   // 0: stays until cleared
  std::uint8_t style = 0;
  std::uint64_t created = 0;
  std::vector<DrawingPoint> points;
  std::wstring text;  // notes only
};

// A ping ring where a viewer clicked with the Point tool.
struct PingRing {
  float x = 0;
  float y = 0;
  std::uint32_t colour = 0;
  std::uint64_t created = 0;
  std::uint8_t style = 0;
};

// The viewer a message came from, as admission knows it.
struct AnnotationViewer {
  std::uint32_t id = 0;
  std::uint32_t colour = 0;  // the colour the host gave it; used where a message says 0
  std::wstring name;
};

}  // namespace tvx
