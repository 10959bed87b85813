tvx_test(tvx_overlay_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/overlay_renderer_test.cpp
  DEPS tvx_overlay
)

# A viewer that draws on a running tavrix-cli host --overlay and checks its dumped surface
# (scripts/overlay-check.sh runs it against the Windows build under Wine).
add_executable(tvx_overlay_driver ${CMAKE_CURRENT_LIST_DIR}/overlay_driver.cpp ${CMAKE_CURRENT_LIST_DIR}/../host/test_viewer.cpp)
target_include_directories(tvx_overlay_driver PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../host)
target_link_libraries(tvx_overlay_driver PRIVATE tvx_net tvx_foundation)

if(WIN32)
  # The window itself; needs a display (Xvfb under Wine) and skips without one.
  tvx_test(tvx_overlay_window_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/overlay_window_test_win.cpp
    DEPS tvx_overlay
  )
endif()
