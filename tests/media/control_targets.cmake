# Input injection, annotation store and sound capture.
tvx_test(tvx_input_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/input_injector_test.cpp
  DEPS tvx_input
)
if(WIN32)
  target_sources(tvx_input_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/input_sink_win_test.cpp)
endif()

tvx_test(tvx_annotation_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/annotation_store_test.cpp
  DEPS tvx_annotations
  LABELS engine
)

tvx_test(tvx_sound_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sound_capture_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_conversion_test.cpp
  DEPS tvx_sound
  LABELS engine
)
