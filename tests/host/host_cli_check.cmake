# Checks "tavrix-cli host" end to end: usage errors, a short headless run on a synthetic screen, and
# a viewer (DRIVER) driving the host's input while the host logs what it would inject.
# Variables: CLI (the program), DRIVER (tvx_control_driver), EMULATOR (empty, or the command that
# runs both), WORK (scratch folder).

include(${CMAKE_CURRENT_LIST_DIR}/../support/cli_check.cmake)

run_cli(host --help)
expect_rc("help" 0)
expect_has("help" "${OUT}" "--source SOURCE")

foreach(bad "--bogus" "--fps;0" "--quality;101" "--port" "--source;synthetic:0x5" "--source;synthetic:64x64:spin"
        "--source;camera" "--relay;127.0.0.1:99999" "--input" "--input;send" "--shared-screens;0x100000000"
        "--shared-screens;-1" "--shared-screens;0xZ")
  run_cli(host ${bad})
  expect_rc("usage ${bad}" 2)
endforeach()

# A one-second run: the start, a statistics line and the stop, each one JSON line, and exit 0.
run_cli(host --port 0 --loopback --source synthetic:256x128:typing --duration 2 --code ABC234)
expect_rc("run" 0)
expect_has("run" "${OUT}" "{\"event\":\"Started\",\"text\":\"\"}\n")
expect_has("run" "${OUT}" "{\"stats\":{\"running\":true,")
expect_has("run" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")
expect_has("run" "${ERR}" "Sharing started on port")
expect_has("run" "${ERR}" "Sharing stopped")

# Without --duration the run ends when stdin closes (here: at once).
run_cli(host --port 0 --loopback --source synthetic:64x64)
expect_rc("stdin" 0)
expect_has("stdin" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")

# Remote control: the driver learns the port from the host's output, joins, moves, clicks and types,
# draws an arrow, and leaves; its ending closes the host's stdin, which stops the host.
# Each fragment must come after the one before it.
function(expect_in_order label text)
  set(from 0)
  foreach(fragment ${ARGN})
    string(SUBSTRING "${text}" ${from} -1 rest)
    string(FIND "${rest}" "${fragment}" at)
    if(at EQUAL -1)
      fail("${label}: missing '${fragment}' (in order) in:\n${text}")
      set(failures ${failures} PARENT_SCOPE)
      return()
    endif()
    math(EXPR from "${from} + ${at} + 1")
  endforeach()
endfunction()

if(DRIVER)
  execute_process(COMMAND ${EMULATOR} "${DRIVER}" control_out.txt
                  COMMAND ${EMULATOR} "${CLI}" host --port 0 --loopback --source synthetic:512x256 --input log --allow-control
                  WORKING_DIRECTORY "${WORK}"
                  OUTPUT_FILE "${WORK}/control_out.txt" ERROR_FILE "${WORK}/control_err.txt"
                  RESULTS_VARIABLE rcs TIMEOUT 90)
  file(READ "${WORK}/control_out.txt" out)
  file(READ "${WORK}/control_err.txt" err)
  string(REPLACE "\r" "" out "${out}")
  string(REPLACE "\r" "" err "${err}")
  if(NOT "${rcs}" STREQUAL "0;0")
    fail("control: exit codes ${rcs} (driver;host), expected 0;0\nstdout: ${out}\nstderr: ${err}")
  endif()
  # On the 512 x 256 screen x = 0.25 and y = 0.75 are 16384 and 49151 of 65535; flags 49153, 49155
  # and 49157 are the move, the left button down and up; "ok" is typed as Unicode 111 and 107.
  set(marker ",\"extra\":1414944801}\n")
  expect_in_order("control" "${out}"
    "{\"event\":\"ViewerJoined\",\"text\":\"driver\"}\n"
    "{\"input\":\"mouse\",\"x\":16384,\"y\":49151,\"flags\":49153,\"data\":0${marker}"
    "{\"input\":\"mouse\",\"x\":16384,\"y\":49151,\"flags\":49155,\"data\":0${marker}"
    "{\"input\":\"mouse\",\"x\":16384,\"y\":49151,\"flags\":49157,\"data\":0${marker}"
    "{\"input\":\"key\",\"vk\":0,\"scan\":111,\"flags\":4${marker}"
    "{\"input\":\"key\",\"vk\":0,\"scan\":111,\"flags\":6${marker}"
    "{\"input\":\"key\",\"vk\":0,\"scan\":107,\"flags\":4${marker}"
    "{\"input\":\"key\",\"vk\":0,\"scan\":107,\"flags\":6${marker}"
    "{\"annotations\":{\"pointers\":1,\"drawings\":1,\"previews\":0,\"pings\":0}}\n"
    "{\"event\":\"ViewerLeft\",\"text\":\"driver\"}\n"
    "{\"event\":\"Stopped\",\"text\":\"\"}\n")
  expect_has("control" "${err}" "control driver: done")
  expect_has("control" "${err}" "Input region 0,0 512x256   virtual desktop 0,0 512x256")
endif()

finish_checks()
