#include "ui/tray_menu.h"

namespace tvx {

std::vector<TrayMenuItem> TrayMenuItems(bool sharing) {
  return {
      {tray::kOpen, L"Open Tavrix", true},
      {0, L"", true},
      {tray::kClearDrawings, L"Clear their drawings", sharing},
      {tray::kStartStop, sharing ? L"Stop sharing" : L"Start sharing", true},
      {0, L"", true},
      {tray::kQuit, L"Quit", true},
  };
}

std::wstring TrayTip(bool sharing) { return sharing ? L"Tavrix - sharing this screen" : L"Tavrix"; }

}  // namespace tvx
