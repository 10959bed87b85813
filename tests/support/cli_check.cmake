# Shared by the cmake -P scripts that run the built tavrix-cli end to end.
# Variables: CLI (the program), EMULATOR (empty, or the command that runs it), WORK (scratch folder).

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/stdin.txt" "")
set(failures 0)

function(fail what)
  message(SEND_ERROR "${what}")
  math(EXPR n "${failures} + 1")
  set(failures ${n} PARENT_SCOPE)
endfunction()

# Runs the program with the given arguments in WORK, stdin empty; sets RC, OUT and ERR (line ends
# made LF). Output goes through files, not pipes: under Wine a pipe stays open as long as the
# helper processes Wine starts, which costs about 20 s per run.
function(run_cli)
  execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARGN}
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

macro(expect_lacks label text fragment)
  string(FIND "${text}" "${fragment}" at)
  if(NOT at EQUAL -1)
    fail("${label}: unexpected '${fragment}' in:\n${text}")
  endif()
endmacro()

macro(finish_checks)
  if(failures GREATER 0)
    message(FATAL_ERROR "${failures} check(s) failed")
  endif()
endmacro()
