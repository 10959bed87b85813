# Checks "tavrix-cli bench stream" end to end: usage errors, a table row for a short static case,
# and a JSON line for a short typing case whose markers came through (latency figures present).
# Variables: CLI (the program), EMULATOR (empty, or the command that runs it), WORK (scratch folder).

include(${CMAKE_CURRENT_LIST_DIR}/../support/cli_check.cmake)

run_cli(bench stream --help)
expect_rc("help" 0)
expect_has("help" "${OUT}" "--workloads LIST")

foreach(bad "--bogus" "--seconds;0" "--fps;76" "--sizes;100x100" "--workloads;spin" "--jpeg;bogus" "--jpeg")
  run_cli(bench stream ${bad})
  expect_rc("usage ${bad}" 2)
endforeach()

run_cli(bench stream --seconds 1 --sizes 1080p --workloads static)
expect_rc("static" 0)
expect_has("static" "${OUT}" "lat med lat p95 lvl\n")
expect_has("static" "${OUT}" "\n1920x1080  static      0.0        0        -")

run_cli(bench stream --seconds 1 --sizes 640x480 --workloads typing --json)
expect_rc("typing" 0)
expect_has("typing" "${OUT}" "{\"size\":\"640x480\",\"workload\":\"typing\",")
expect_lacks("typing" "${OUT}" "\"latencyMedianMs\":null")
expect_lacks("typing" "${OUT}" "\"hostCpuMsPerFrame\":null")
expect_lacks("typing" "${OUT}" "\"latencySamples\":0,")

finish_checks()
