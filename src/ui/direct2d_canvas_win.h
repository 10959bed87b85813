// The Canvas on Windows: Direct2D shapes and bitmaps and DirectWrite text, drawn into the device
// context of the window's SwapChainDevice. The factories and the style fonts live as long as the
// canvas; brush, bitmaps and the context come and go with the device.
#pragma once

#include <windows.h>

#include <d2d1_1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace tvx::ui {

class Direct2DCanvas : public Canvas {
 public:
  // Makes the factories and the style fonts. False with "Direct2D unavailable: ...",
  // "DirectWrite unavailable: ..." or "Could not create the interface fonts.".
  bool Init(std::wstring& error);
  ID2D1Factory1* factory() const { return factory_.Get(); }

  // The device context of this frame; `generation` changes whenever the device was made again
  // (bitmaps of an older generation are gone). nullptr detaches.
  void Attach(ID2D1DeviceContext* context, int generation);

  // The family actually used for `family`: itself when installed, else a fallback that is.
  const std::wstring& ResolveFamily(const wchar_t* family);

  void SetTransform(const Transform& transform) override;
  Transform GetTransform() const override { return transform_; }
  void PushClip(const Rect& rect) override;
  void PopClip() override;
  void PushOpacity(float opacity) override;
  void PopOpacity() override;

  void Clear(std::uint32_t colour) override;
  void FillRect(const Rect& rect, std::uint32_t colour) override;
  void FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) override;
  void StrokeRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) override;
  void DrawLine(Point from, Point to, std::uint32_t colour, float width, const StrokeStyle& style) override;
  void FillEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour) override;
  void StrokeEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour, float width,
                     const StrokeStyle& style) override;
  void FillPath(const Path& path, std::uint32_t colour) override;
  void StrokePath(const Path& path, std::uint32_t colour, float width, const StrokeStyle& style) override;

  void SetTextScale(float scale) override;
  void DrawStyledText(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align,
                std::uint32_t colour) override;
  float MeasureText(std::wstring_view text, TextStyle style) override;
  void CaretPositions(std::wstring_view text, TextStyle style, std::vector<float>& positions) override;
  float LineHeight(TextStyle style) override;

  Size MeasureTextLayout(std::wstring_view text, const TextFormat& format, float max_width,
                         float max_height) override;
  void DrawTextLayout(std::wstring_view text, const TextFormat& format, Point origin, float max_width,
                      float max_height, std::uint32_t colour) override;

  BitmapHandle CreateBitmap(int width, int height, const void* pixels, int stride) override;
  bool UpdateBitmap(BitmapHandle bitmap, int x, int y, int width, int height, const void* pixels,
                    int stride) override;
  void ReleaseBitmap(BitmapHandle bitmap) override;
  bool HasBitmap(BitmapHandle bitmap) const override;
  void DrawBitmap(BitmapHandle bitmap, const Rect& destination, const Rect& source, float opacity,
                  Interpolation interpolation) override;

 private:
  bool MakeStyleFormats();
  Microsoft::WRL::ComPtr<IDWriteTextFormat> MakeFormat(const wchar_t* family, int weight, float size);
  Microsoft::WRL::ComPtr<IDWriteTextLayout> Layout(std::wstring_view text, IDWriteTextFormat* format, float width,
                                                   float height);
  IDWriteTextFormat* FormatFor(const TextFormat& format);
  ID2D1SolidColorBrush* Brush(std::uint32_t colour);
  ID2D1StrokeStyle* Stroke(const StrokeStyle& style);
  Microsoft::WRL::ComPtr<ID2D1PathGeometry> Geometry(const Path& path, bool filled);
  // A line of interface text drawn once into a bitmap of its own and then copied: the text engine
  // lays out and rasterises glyphs on every draw, which is most of a frame where Direct2D renders
  // in software.
  struct TextSprite {
    Microsoft::WRL::ComPtr<ID2D1Bitmap1> bitmap;
    float width = 0;
    float height = 0;
  };
  const TextSprite* Sprite(std::wstring_view text, TextStyle style, std::uint32_t colour);

  Microsoft::WRL::ComPtr<ID2D1Factory1> factory_;
  Microsoft::WRL::ComPtr<IDWriteFactory> dwrite_;
  Microsoft::WRL::ComPtr<IDWriteFontCollection> fonts_;
  std::map<std::wstring, std::wstring> resolved_families_;
  float text_scale_ = 1;
  std::array<Microsoft::WRL::ComPtr<IDWriteTextFormat>, kTextStyleCount> style_formats_;
  std::map<std::wstring, Microsoft::WRL::ComPtr<IDWriteTextFormat>> free_formats_;
  std::map<int, Microsoft::WRL::ComPtr<ID2D1StrokeStyle>> strokes_;

  ID2D1DeviceContext* context_ = nullptr;
  int generation_ = -1;
  Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
  Microsoft::WRL::ComPtr<ID2D1DeviceContext> sprite_context_;  // draws sprites, beside the frame
  Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> sprite_brush_;
  std::map<std::wstring, TextSprite> sprites_;
  std::map<BitmapHandle, Microsoft::WRL::ComPtr<ID2D1Bitmap1>> bitmaps_;
  BitmapHandle next_bitmap_ = 1;

  Transform transform_;
  std::vector<float> opacity_stack_;
  float opacity_ = 1;
  int clip_depth_ = 0;
};

}  // namespace tvx::ui
