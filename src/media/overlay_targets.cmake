# The overlay: its paint rules (portable) and its window (Windows).
tvx_library(tvx_overlay
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/overlay_renderer.cpp
  WINDOWS
    ${CMAKE_CURRENT_LIST_DIR}/overlay_canvas_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/overlay_window_win.cpp
  DEPS tvx_annotation_painter tvx_foundation
  WINDOWS_LIBS d2d1 dwrite gdi32 user32
)
