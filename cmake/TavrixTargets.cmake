# Helpers shared by every CMakeLists of the project.

# tvx_library(NAME SOURCES ... [WINDOWS ...] [POSIX ...] [DEPS ...] [WINDOWS_LIBS ...] [POSIX_LIBS ...])
# Portable sources build everywhere; WINDOWS and POSIX list the platform files (*_win.cpp, *_posix.cpp).
function(tvx_library name)
  cmake_parse_arguments(A "" "" "SOURCES;WINDOWS;POSIX;DEPS;WINDOWS_LIBS;POSIX_LIBS" ${ARGN})
  set(sources ${A_SOURCES})
  if(WIN32)
    list(APPEND sources ${A_WINDOWS})
  else()
    list(APPEND sources ${A_POSIX})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  if(WIN32)
    target_link_libraries(${name} PUBLIC ${A_WINDOWS_LIBS})
  else()
    target_link_libraries(${name} PUBLIC Threads::Threads ${A_POSIX_LIBS})
  endif()
endfunction()

# tvx_test(NAME SOURCES ... DEPS ... [LABELS ...])
# Tests labelled "engine" exercise threads and also run in the ThreadSanitizer build.
# One test program per module; ctest runs it whole (under Wine in the Windows build), which keeps
# Wine's per-process start-up cost to one per program instead of one per case.
function(tvx_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE tvx_test_main ${A_DEPS})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS "${A_LABELS}")
  # The ThreadSanitizer build compiles and runs only the threaded engine tests.
  if("engine" IN_LIST A_LABELS)
    add_dependencies(tvx_engine_tests ${name})
  endif()
endfunction()

# tvx_console_manifest(TARGET NAME DESCRIPTION)
# Gives a Windows command-line program its manifest: no elevation, the supported systems, long
# paths and the UTF-8 active code page, so text the program hands to ANSI functions stays intact.
function(tvx_console_manifest target name description)
  if(NOT WIN32)
    return()
  endif()
  set(TVX_MANIFEST_NAME "${name}")
  set(TVX_MANIFEST_DESCRIPTION "${description}")
  set(TVX_MANIFEST_VERSION "6.4.1.0")
  set(TVX_MANIFEST_FILE "${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${TVX_MANIFEST_FILE} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program_manifest.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  if(MSVC)
    # The manifest comes from the resource above, not from the linker.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
