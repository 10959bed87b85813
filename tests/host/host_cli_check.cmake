# Checks "tavrix-cli host" end to end: usage errors, and a short headless run on a synthetic screen.
# Variables: CLI (the program), EMULATOR (empty, or the command that runs it), WORK (scratch folder).

include(${CMAKE_CURRENT_LIST_DIR}/../support/cli_check.cmake)

run_cli(host --help)
expect_rc("help" 0)
expect_has("help" "${OUT}" "--source SOURCE")

foreach(bad "--bogus" "--fps;0" "--quality;101" "--port" "--source;synthetic:0x5" "--source;synthetic:64x64:spin"
        "--source;camera" "--relay;127.0.0.1:99999")
  run_cli(host ${bad})
  expect_rc("usage ${bad}" 2)
endforeach()

# A one-second run: the start, a statistics line and the stop, each one JSON line, and exit 0.
run_cli(host --port 0 --source synthetic:256x128:typing --duration 2 --code ABC234)
expect_rc("run" 0)
expect_has("run" "${OUT}" "{\"event\":\"Started\",\"text\":\"\"}\n")
expect_has("run" "${OUT}" "{\"stats\":{\"running\":true,")
expect_has("run" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")
expect_has("run" "${ERR}" "Sharing started on port")
expect_has("run" "${ERR}" "Sharing stopped")

# Without --duration the run ends when stdin closes (here: at once).
run_cli(host --port 0 --source synthetic:64x64)
expect_rc("stdin" 0)
expect_has("stdin" "${OUT}" "{\"event\":\"Stopped\",\"text\":\"\"}\n")

finish_checks()
