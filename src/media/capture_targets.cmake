# Screen capture, tile grid and change hashing.
tvx_library(tvx_capture
  SOURCES
    screen_capture.cpp
    synthetic_source.cpp
    tile_grid.cpp
    tile_hash.cpp
    tile_hash_crc32c.cpp
  WINDOWS
    desktop_capture_win.cpp
    duplication_source_win.cpp
    gdi_source_win.cpp
    monitor_enum_win.cpp
  POSIX
    desktop_capture_posix.cpp
  DEPS tvx_foundation
  WINDOWS_LIBS d3d11 dxgi gdi32 user32
)
# The CRC-32C path is compiled for SSE4.2 and chosen at run time after a processor check.
if(NOT MSVC)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/tile_hash_crc32c.cpp PROPERTIES COMPILE_OPTIONS -msse4.2)
endif()

# JPEG encoder and decoder: the imaging component on Windows, libjpeg-turbo elsewhere.
if(NOT WIN32)
  find_library(TVX_TURBOJPEG_LIBRARY turbojpeg REQUIRED)
  find_path(TVX_TURBOJPEG_INCLUDE turbojpeg.h REQUIRED)
endif()
tvx_library(tvx_codec
  SOURCES
    jpeg_quality.cpp
  WINDOWS
    jpeg_codec_win.cpp
  POSIX
    jpeg_codec_posix.cpp
  DEPS tvx_foundation
  WINDOWS_LIBS windowscodecs shlwapi ole32 oleaut32 uuid
  POSIX_LIBS ${TVX_TURBOJPEG_LIBRARY}
)
if(NOT WIN32)
  target_include_directories(tvx_codec PRIVATE ${TVX_TURBOJPEG_INCLUDE})
endif()

# The tile encoder pool.
tvx_library(tvx_encoder_pool
  SOURCES
    encode_settings.cpp
    tile_encoder.cpp
    tile_encoder_pool.cpp
  WINDOWS
  POSIX
  DEPS tvx_codec tvx_foundation
  WINDOWS_LIBS ole32
)
