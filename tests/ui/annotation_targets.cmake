tvx_test(tvx_annotation_painter_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/annotation_painter_test.cpp
  DEPS tvx_annotation_painter
)
