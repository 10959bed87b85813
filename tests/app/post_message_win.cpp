// Posts one window message to the top-level window of a class, as the shell does for the tray
// icon, so the checks can drive what they cannot click (the tray, a close request).
// usage: tvx_post_message CLASS MESSAGE WPARAM LPARAM   (numbers decimal or 0x hex)
// Exit code 0 when the message was posted, 1 when there is no such window, 2 for bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fwprintf(stderr, L"usage: tvx_post_message CLASS MESSAGE WPARAM LPARAM\n");
    return 2;
  }
  const auto number = [](const wchar_t* text) { return std::wcstoull(text, nullptr, 0); };
  HWND window = FindWindowW(argv[1], nullptr);
  if (window == nullptr) return 1;
  const BOOL posted = PostMessageW(window, static_cast<UINT>(number(argv[2])), static_cast<WPARAM>(number(argv[3])),
                                   static_cast<LPARAM>(number(argv[4])));
  return posted ? 0 : 1;
}
