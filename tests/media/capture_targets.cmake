# Tile grid, change hashing, screen capture over fake and synthetic sources, and the GDI fallback.
set(tvx_capture_test_sources
  screen_capture_test.cpp
  synthetic_source_test.cpp
  tile_grid_test.cpp
  tile_hash_test.cpp
)
if(WIN32)
  list(APPEND tvx_capture_test_sources gdi_capture_test_win.cpp)
endif()
tvx_test(tvx_capture_tests
  SOURCES ${tvx_capture_test_sources}
  DEPS tvx_capture
)

# The encoder pool (threads) and the JPEG codec of the platform.
tvx_test(tvx_encoder_pool_tests
  SOURCES
    jpeg_header_test.cpp
    jpeg_round_trip_test.cpp
    tile_encoder_pool_test.cpp
  DEPS tvx_encoder_pool tvx_capture
  LABELS engine
)
