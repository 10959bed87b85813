# The annotation painter: the overlay and the remote window paint viewers' drawings with it.
tvx_library(tvx_annotation_painter
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/annotation_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/annotation_painter.cpp
  DEPS tvx_ui_surface tvx_annotations
)
