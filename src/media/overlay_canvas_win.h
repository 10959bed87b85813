// A Canvas over any Direct2D render target (the overlay's device-context target) with DirectWrite
// text: shapes, paths, transforms, clips, opacity and text layout. It keeps no bitmaps (the overlay
// draws none): CreateBitmap gives 0.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace tvx {

class OverlayCanvas final : public ui::Canvas {
 public:
  // `target` must outlive the canvas, or be replaced with SetTarget before it goes.
  OverlayCanvas(ID2D1Factory* factory, IDWriteFactory* text);

  // Makes the brush and stroke styles for `target` (nullptr releases them). False on failure.
  bool SetTarget(ID2D1RenderTarget* target);
  bool HasTarget() const { return target_ != nullptr; }

  void SetTransform(const ui::Transform& transform) override;
  ui::Transform GetTransform() const override;
  void PushClip(const ui::Rect& rect) override;
  void PopClip() override;
  void PushOpacity(float opacity) override;
  void PopOpacity() override;

  void Clear(std::uint32_t colour) override;
  void FillRect(const ui::Rect& rect, std::uint32_t colour) override;
  void FillRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour) override;
  void StrokeRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour, float width) override;
  void DrawLine(ui::Point from, ui::Point to, std::uint32_t colour, float width,
                const ui::StrokeStyle& style) override;
  void FillEllipse(ui::Point centre, float radius_x, float radius_y, std::uint32_t colour) override;
  void StrokeEllipse(ui::Point centre, float radius_x, float radius_y, std::uint32_t colour, float width,
                     const ui::StrokeStyle& style) override;
  void FillPath(const ui::Path& path, std::uint32_t colour) override;
  void StrokePath(const ui::Path& path, std::uint32_t colour, float width, const ui::StrokeStyle& style) override;

  void SetTextScale(float scale) override { textScale_ = scale; }
  void DrawStyledText(std::wstring_view text, const ui::Rect& rect, ui::TextStyle style, ui::TextAlign align,
                std::uint32_t colour) override;
  float MeasureText(std::wstring_view text, ui::TextStyle style) override;
  void CaretPositions(std::wstring_view text, ui::TextStyle style, std::vector<float>& positions) override;
  float LineHeight(ui::TextStyle style) override;

  ui::Size MeasureTextLayout(std::wstring_view text, const ui::TextFormat& format, float max_width,
                             float max_height) override;
  void DrawTextLayout(std::wstring_view text, const ui::TextFormat& format, ui::Point origin, float max_width,
                      float max_height, std::uint32_t colour) override;

  ui::BitmapHandle CreateBitmap(int, int, const void*, int) override { return 0; }
  bool UpdateBitmap(ui::BitmapHandle, int, int, int, int, const void*, int) override { return false; }
  void ReleaseBitmap(ui::BitmapHandle) override {}
  bool HasBitmap(ui::BitmapHandle) const override { return false; }
  void DrawBitmap(ui::BitmapHandle, const ui::Rect&, const ui::Rect&, float, ui::Interpolation) override {}

 private:
  struct CachedFormat {
    std::wstring family;
    int weight = 0;
    float size = 0;
    Microsoft::WRL::ComPtr<IDWriteTextFormat> format;
  };

  ID2D1SolidColorBrush* Brush(std::uint32_t colour);
  ID2D1StrokeStyle* Stroke(const ui::StrokeStyle& style);
  Microsoft::WRL::ComPtr<ID2D1PathGeometry> Geometry(const ui::Path& path);
  IDWriteTextFormat* Format(const wchar_t* family, int weight, float size);
  // A layout of `text`; nullptr when DirectWrite refuses it.
  Microsoft::WRL::ComPtr<IDWriteTextLayout> Layout(std::wstring_view text, const ui::TextFormat& format,
                                                   float max_width, float max_height);
  ui::TextFormat StyleFormat(ui::TextStyle style) const;
  // The family when the system has it, else one it has (a missing family would draw nothing).
  std::wstring InstalledFamily(const wchar_t* family);

  ID2D1Factory* factory_;
  IDWriteFactory* text_;
  ID2D1RenderTarget* target_ = nullptr;
  Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
  Microsoft::WRL::ComPtr<ID2D1StrokeStyle> strokes_[9];  // by cap × join
  std::vector<CachedFormat> formats_;
  std::vector<std::pair<std::wstring, std::wstring>> families_;  // asked for -> used
  std::vector<float> opacities_;
  float opacity_ = 1;
  float textScale_ = 1;
};

}  // namespace tvx
