tvx_test(tvx_overlay_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/overlay_renderer_test.cpp
  DEPS tvx_overlay
)
