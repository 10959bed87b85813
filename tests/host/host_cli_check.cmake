# Checks "tavrix-cli host" end to end: usage errors, and a short headless run on a synthetic screen.
# Variables: CLI (the program), EMULATOR (empty, or the command that runs it), WORK (scratch folder).

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

function(fail what)
  message(SEND_ERROR "${what}")
  math(EXPR n "${failures} + 1")
  set(failures ${n} PARENT_SCOPE)
endfunction()

# Output goes through files, not pipes: under Wine a pipe stays open as long as the helper
# processes Wine starts, which costs about 20 s per run.
function(run_cli)
  execute_process(COMMAND ${EMULATOR} "${CLI}" host ${ARGN}
                  WORKING_DIRECTORY "${WORK}" INPUT_FILE "${WORK}/stdin.txt"
                  OUTPUT_FILE "${WORK}/stdout.txt" ERROR_FILE "${WORK}/stderr.txt"
                  RESULT_VARIABLE rc TIMEOUT 60)
  file(READ "${WORK}/stdout.txt" out)
  file(READ "${WORK}/stderr.txt" err)
  string(REPLACE "\r" "" out "${out}")
  string(REPLACE "\r" "" err "${err}")
  set(RC "${rc}" PARENT_SCOPE)
  set(OUT "${out}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

macro(expect_rc label expected)
  if(NOT "${RC}" STREQUAL "${expected}")
    fail("${label}: exit code ${RC}, expected ${expected}\nstdout: ${OUT}\nstderr: ${ERR}")
  endif()
endmacro()

macro(expect_has label text fragment)
  string(FIND "${text}" "${fragment}" at)
  if(at EQUAL -1)
    fail("${label}: missing '${fragment}' in:\n${text}")
  endif()
endmacro()

file(WRITE "${WORK}/stdin.txt" "")

run_cli(--help)
expect_rc("help" 0)
expect_has("help" "${OUT}" "--source SOURCE")

foreach(bad "--bogus" "--fps;0" "--quality;101" "--port" "--source;synthetic:0x5" "--source;synthetic:64x64:spin"
        "--source;camera" "--relay;127.0.0.1:99999")
  run_cli(${bad})
  expect_rc("usage ${bad}" 2)
endforeach()

# A one-second run: the start, a statistics line and the stop, each one JSON line, and exit 0.
run_cli(--port 0 --source synthetic:256x128:typing --duration 2 --code ABC234)
expect_rc("run" 0)
expect_has("run" "${OUT}" "{\"event\":\"Started\",\"text\":\"\"}\n")
expect_has("run" "${OUT}" "{\"stats\":{\"running\":true,")
expect_has("run" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")
expect_has("run" "${ERR}" "Sharing started on port")
expect_has("run" "${ERR}" "Sharing stopped")

# Without --duration the run ends when stdin closes (here: at once).
run_cli(--port 0 --source synthetic:64x64)
expect_rc("stdin" 0)
expect_has("stdin" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) failed")
endif()
