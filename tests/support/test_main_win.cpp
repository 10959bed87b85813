// Test main for the Windows build: under Wine a crash may exit 0, so every unhandled exception ends
// the process with a fixed non-zero code instead.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "FATAL: unhandled exception 0x%08lX at %p\n", info->ExceptionRecord->ExceptionCode,
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 0xC5);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  WSADATA wsa{};
  WSAStartup(MAKEWORD(2, 2), &wsa);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  WSACleanup();
  return result;
}
