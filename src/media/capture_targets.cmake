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

# JPEG encoder and decoder: libjpeg-turbo in both builds (the Debian package natively; on Windows a
# static build of it, see TVX_TURBOJPEG_ROOT), and on Windows also the imaging component's codec.
if(WIN32)
  # scripts/setup.sh builds it there (scripts/libjpeg-turbo-mingw.sh). Any other libjpeg-turbo
  # (an MSVC build, for instance) works too: point this at a folder with include/turbojpeg.h and
  # lib/ holding its static TurboJPEG library.
  set(TVX_TURBOJPEG_ROOT "${PROJECT_SOURCE_DIR}/build/deps/libjpeg-turbo-mingw" CACHE PATH
      "libjpeg-turbo of the Windows build: a folder with include/turbojpeg.h and lib/ with the static library")
  find_library(TVX_TURBOJPEG_LIBRARY NAMES turbojpeg-static libturbojpeg.a turbojpeg
               PATHS "${TVX_TURBOJPEG_ROOT}/lib" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_path(TVX_TURBOJPEG_INCLUDE turbojpeg.h
            PATHS "${TVX_TURBOJPEG_ROOT}/include" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TVX_TURBOJPEG_LIBRARY OR NOT TVX_TURBOJPEG_INCLUDE)
    message(FATAL_ERROR "No libjpeg-turbo for Windows in ${TVX_TURBOJPEG_ROOT}: run scripts/setup.sh, "
                        "which builds it there, or set TVX_TURBOJPEG_ROOT")
  endif()
else()
  find_library(TVX_TURBOJPEG_LIBRARY turbojpeg REQUIRED)
  find_path(TVX_TURBOJPEG_INCLUDE turbojpeg.h REQUIRED)
endif()
tvx_library(tvx_codec
  SOURCES
    jpeg_codec_choice.cpp
    jpeg_codec_turbo.cpp
    jpeg_header.cpp
    jpeg_quality.cpp
  WINDOWS
    jpeg_codec_win.cpp
  POSIX
    jpeg_codec_posix.cpp
  DEPS tvx_foundation ${TVX_TURBOJPEG_LIBRARY}
  WINDOWS_LIBS windowscodecs shlwapi ole32 oleaut32 uuid
)
target_include_directories(tvx_codec PRIVATE ${TVX_TURBOJPEG_INCLUDE})

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
