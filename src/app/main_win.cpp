// Tavrix's entry: one instance per logon, the process-wide services, the home window and the one
// message loop of the program, then everything torn down in order.
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <string>

#include "foundation/app_data.h"
#include "foundation/log.h"
#include "ui/home_window_win.h"

namespace {

// Per-monitor awareness version 2 (Windows 10 1703 and later), looked up at run time so the
// program still starts on Windows 8.1, where the manifest's per-monitor setting applies instead.
void MakeDpiAware() {
  using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return;
  const auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (set != nullptr) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// Brings back the first instance's home window (also out of the tray).
void ShowFirstInstance() {
  HWND window = FindWindowW(tvx::kHomeWindowClass, nullptr);
  if (window == nullptr) return;
  ShowWindow(window, SW_SHOW);
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

int RunMessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 0;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  MakeDpiAware();

  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\TavrixSingleton");
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    ShowFirstInstance();
    CloseHandle(mutex);
    return 0;
  }

  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  WSADATA wsa{};
  const bool winsock = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  if (!winsock) tvx::Log(tvx::kLogError, L"WSAStartup failed");

  tvx::OpenLogFile(tvx::DefaultLogPath());
  tvx::Log(tvx::kLogInfo, L"Tavrix starting");
  if (!winsock) {
    MessageBoxW(nullptr, L"Windows networking failed to initialise.", L"Tavrix", MB_OK | MB_ICONERROR);
    if (com) CoUninitialize();
    return 1;
  }

  int code = 0;
  {
    tvx::HomeWindow home(instance);
    std::wstring error;
    if (home.Start(instance, error)) {
      code = RunMessageLoop();
    } else {
      MessageBoxW(nullptr, error.c_str(), L"Tavrix", MB_OK | MB_ICONERROR);
      code = 1;
    }
  }

  tvx::Log(tvx::kLogInfo, L"Tavrix exiting (%d)", code);
  tvx::CloseLogFile();
  if (mutex != nullptr) CloseHandle(mutex);
  WSACleanup();
  if (com) CoUninitialize();
  return code;
}
