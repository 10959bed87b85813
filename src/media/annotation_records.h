// What viewers put on the host's screen: pointers, drawings and ping rings, as the annotation store
// keeps them, and the decoded pointer-channel messages that feed it.
//
// Positions are fractions (0 .. 1) of the shared picture; colours are 0xAARRGGBB; times are ms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

enum DrawingKind : std::uint8_t {
  kDrawingArrow = 1,
  kDrawingPen = 2,
  kDrawingBox = 3,
  kDrawingCircle = 4,
  kDrawingLine = 5,  // a straight line without a head
  kDrawingHeart = 6,
  kDrawingNote = 7,
};

// Arrow heads and ping shapes.
enum DrawingStyle : std::uint8_t { kStyleRound = 0, kStyleStar = 1, kStyleHeart = 2 };

struct DrawingPoint {
  float x = 0;
  float y = 0;
  bool operator==(const DrawingPoint&) const = default;
};

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
  std::uint8_t kind = 0;
  std::uint32_t colour = 0;
  float width = 1;              // pixels of a 1080-pixel-high screen, 1 .. 40
  std::uint32_t lifetime = 0;   // 0: stays until cleared
  std::uint8_t style = 0;
  std::uint64_t created = 0;
  std::vector<DrawingPoint> points;
  std::wstring text;  // notes only
};

struct PointPing {
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

// Viewer pointer message.
struct PointerMessage {
  float x = 0;
  float y = 0;
  bool visible = false;
  std::uint32_t colour = 0;
};

// Drawing record of the drawing finished and drawing in progress messages, as received.
struct DrawingMessage {
  std::uint32_t id = 0;
  std::uint8_t kind = 0;
  std::uint8_t style = 0;
  std::uint32_t colour = 0;
  float width = 0;
  std::uint32_t lifetime = 0;  // 0: the host's default; 0xFFFFFFFF: stays until cleared
  std::vector<DrawingPoint> points;
  std::u16string text;  // UTF-16 units as they came
};

// Point ping message.
struct PingMessage {
  float x = 0;
  float y = 0;
  std::uint32_t colour = 0;
  std::uint8_t style = 0;
};

}  // namespace tvx
