# Input injection, annotation store and sound capture.
tvx_library(tvx_input
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fixed_input_platform.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_event_json.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_injector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_input_sink.cpp
  WINDOWS
    ${CMAKE_CURRENT_LIST_DIR}/input_platform_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_sink_win.cpp
  POSIX
    ${CMAKE_CURRENT_LIST_DIR}/input_platform_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_sink_posix.cpp
  DEPS tvx_net tvx_foundation
  WINDOWS_LIBS user32
)

tvx_library(tvx_annotations
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/annotation_store.cpp
  DEPS tvx_net tvx_foundation
)

tvx_library(tvx_sound
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sound_capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_conversion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tone_source.cpp
  WINDOWS
    ${CMAKE_CURRENT_LIST_DIR}/loopback_source_win.cpp
  POSIX
    ${CMAKE_CURRENT_LIST_DIR}/loopback_source_posix.cpp
  DEPS tvx_foundation
  WINDOWS_LIBS ole32 uuid
)
