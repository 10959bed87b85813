// Every key of the settings file, with its type, default and range, and the plain values the home
// and remote windows read from a SettingsStore and write back to it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/settings_store.h"

namespace tvx {

namespace keys {
inline constexpr wchar_t kAccentColour[] = L"accentColour";
inline constexpr wchar_t kConnectAddress[] = L"connect.address";
inline constexpr wchar_t kConnectCode[] = L"connect.code";
inline constexpr wchar_t kConnectMode[] = L"connect.mode";
inline constexpr wchar_t kConnectPeerId[] = L"connect.peerId";
inline constexpr wchar_t kConnectPort[] = L"connect.port";
inline constexpr wchar_t kRelaySaved[] = L"relay.saved";
inline constexpr wchar_t kRelayServer[] = L"relay.server";
inline constexpr wchar_t kRemoteArrowStyle[] = L"remote.arrowStyle";
inline constexpr wchar_t kRemoteDrawingLifetime[] = L"remote.drawingLifetime";
inline constexpr wchar_t kRemoteMatchLayout[] = L"remote.matchLayout";
inline constexpr wchar_t kRemotePenColour[] = L"remote.penColour";
inline constexpr wchar_t kRemotePenWidth[] = L"remote.penWidth";
inline constexpr wchar_t kRemotePicture[] = L"remote.picture";
inline constexpr wchar_t kRemotePointStyle[] = L"remote.pointStyle";
inline constexpr wchar_t kRemoteSendDrawings[] = L"remote.sendDrawings";
inline constexpr wchar_t kRemoteSendPointer[] = L"remote.sendPointer";
inline constexpr wchar_t kRemoteShareClipboard[] = L"remote.shareClipboard";
inline constexpr wchar_t kRemoteSound[] = L"remote.sound";
inline constexpr wchar_t kRemoteTool[] = L"remote.tool";
inline constexpr wchar_t kShareAllowRemoteControl[] = L"share.allowRemoteControl";
inline constexpr wchar_t kShareAllowedMonitors[] = L"share.allowedMonitors";
inline constexpr wchar_t kShareCode[] = L"share.code";
inline constexpr wchar_t kShareCompressColour[] = L"share.compressColour";
inline constexpr wchar_t kShareDrawingLifetime[] = L"share.drawingLifetime";
inline constexpr wchar_t kShareFps[] = L"share.fps";
inline constexpr wchar_t kShareHalfResolution[] = L"share.halfResolution";
inline constexpr wchar_t kShareId[] = L"share.id";
inline constexpr wchar_t kShareMaxViewers[] = L"share.maxViewers";
inline constexpr wchar_t kShareMode[] = L"share.mode";
inline constexpr wchar_t kShareMonitor[] = L"share.monitor";
inline constexpr wchar_t kSharePort[] = L"share.port";
inline constexpr wchar_t kShareQuality[] = L"share.quality";
inline constexpr wchar_t kShareRequireCode[] = L"share.requireCode";
inline constexpr wchar_t kShareShareAudio[] = L"share.shareAudio";
inline constexpr wchar_t kShareShareClipboard[] = L"share.shareClipboard";
inline constexpr wchar_t kShareShowDrawings[] = L"share.showDrawings";
inline constexpr wchar_t kShareShowPointer[] = L"share.showPointer";
inline constexpr wchar_t kWindowH[] = L"window.h";
inline constexpr wchar_t kWindowMaximised[] = L"window.maximised";
inline constexpr wchar_t kWindowW[] = L"window.w";
inline constexpr wchar_t kWindowX[] = L"window.x";
inline constexpr wchar_t kWindowY[] = L"window.y";
}  // namespace keys

enum class SettingType { Int, Bool, String, Colour, StringList };

// Which window reads and writes a key: the home window's panels, the home window's placement
// (saved on its own), or the remote window.
enum class SettingOwner { Home, Placement, Remote };

struct SettingKey {
  const wchar_t* name;
  SettingType type;
  SettingOwner owner;
  int intDefault;              // Int; Bool as 0 or 1
  const wchar_t* textDefault;  // String (Colour keys share the store's colour default)
  int min;                     // Int: stored values are clamped to [min, max]
  int max;
};

// The whole key table, sorted by name.
std::span<const SettingKey> SettingKeys();
// The table entry of `name`, or nullptr.
const SettingKey* FindSettingKey(std::wstring_view name);

// Reads one key with its table default and range (Int keys clamped). The key must be in the table
// and of the accessor's type.
int ReadIntSetting(const SettingsStore& store, const wchar_t* name);
bool ReadBoolSetting(const SettingsStore& store, const wchar_t* name);
std::wstring ReadStringSetting(const SettingsStore& store, const wchar_t* name);

struct WindowPlacement {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool maximised = false;

  // Only a remembered size of at least 300 x 200 is put back.
  bool Restorable() const { return w >= 300 && h >= 200; }
};

// The home window's mirror of its keys.
struct HomeSettings {
  std::wstring port;
  bool requireCode = false;
  std::wstring code;
  int mode = 0;
  std::wstring id;
  std::wstring relayServer;
  std::vector<std::wstring> relaySaved;
  int monitor = 0;
  int allowedMonitors = 0;
  int maxViewers = 0;
  int quality = 0;
  int fps = 0;
  bool halfResolution = false;
  bool compressColour = false;
  bool showPointer = false;
  bool showDrawings = false;
  bool allowRemoteControl = false;
  bool shareClipboard = false;
  bool shareAudio = false;
  int drawingLifetime = 0;
  std::wstring connectAddress;
  std::wstring connectPort;
  std::wstring connectCode;
  int connectMode = 0;
  std::wstring connectPeerId;
  std::uint32_t accentColour = 0;
  WindowPlacement window;
};

// The remote window's mirror of the remote.* keys.
struct RemoteSettings {
  static constexpr int kControlTool = 7;  // never restored or saved: it reads and saves as the arrow
  static constexpr int kArrowTool = 1;

  int tool = 0;
  std::uint32_t penColour = 0;
  int penWidth = 0;
  int drawingLifetime = 0;
  int picture = 0;
  int pointStyle = 0;
  int arrowStyle = 0;
  bool sendPointer = false;
  bool sendDrawings = false;
  bool shareClipboard = false;
  bool sound = false;
  bool matchLayout = false;
};

// Where fresh codes come from; tests put fixed ones in.
struct CodeGenerators {
  std::function<std::string()> accessCode;  // six characters, UTF-8
  std::function<std::string()> relayId;     // nine ASCII digits
  // The system's generators (MakeAccessCode, MakeRelayId).
  static CodeGenerators System();
};

// Reads the home keys as the home window does at start-up: every key with its default and range;
// an empty share.code gets a fresh code in memory only; a share.id without exactly nine digits
// (separators are tolerated) gets a fresh ID, also set in `store`; a non-empty relay.server
// missing from relay.saved is appended to the list in memory; then the window placement.
HomeSettings LoadHomeSettings(SettingsStore& store, const CodeGenerators& generators = CodeGenerators::System());

// Writes every home key except the window placement, relay.saved as an Array of Strings.
void WriteHomeSettings(SettingsStore& store, const HomeSettings& settings);
void WriteWindowPlacement(SettingsStore& store, const WindowPlacement& placement);

// Reads and writes the remote.* keys; the control tool reads and writes as the arrow tool.
RemoteSettings LoadRemoteSettings(const SettingsStore& store);
void WriteRemoteSettings(SettingsStore& store, const RemoteSettings& settings);

}  // namespace tvx
