#include "ui/settings_model.h"

#include <algorithm>
#include <climits>

#include "foundation/text.h"
#include "host/access_codes.h"

namespace tvx {
namespace {

using T = SettingType;
using O = SettingOwner;

constexpr int kAnyInt = INT_MIN;
constexpr int kAnyIntMax = INT_MAX;

// Sorted by name. Keys without a range take the full int range.
constexpr SettingKey kKeys[] = {
    {keys::kAccentColour, T::Colour, O::Home, 0, nullptr, 0, 0},
    {keys::kConnectAddress, T::String, O::Home, 0, L"192.168.1.10", 0, 0},
    {keys::kConnectCode, T::String, O::Home, 0, L"", 0, 0},
    {keys::kConnectMode, T::Int, O::Home, 0, nullptr, 0, 1},
    {keys::kConnectPeerId, T::String, O::Home, 0, L"", 0, 0},
    {keys::kConnectPort, T::String, O::Home, 0, L"7788", 0, 0},
    {keys::kRelaySaved, T::StringList, O::Home, 0, nullptr, 0, 0},
    {keys::kRelayServer, T::String, O::Home, 0, L"", 0, 0},
    {keys::kRemoteArrowStyle, T::Int, O::Remote, 0, nullptr, 0, 2},
    {keys::kRemoteDrawingLifetime, T::Int, O::Remote, 0, nullptr, 0, 3},
    {keys::kRemoteMatchLayout, T::Bool, O::Remote, 1, nullptr, 0, 0},
    {keys::kRemotePenColour, T::Colour, O::Remote, 0, nullptr, 0, 0},
    {keys::kRemotePenWidth, T::Int, O::Remote, 1, nullptr, 0, 2},
    {keys::kRemotePicture, T::Int, O::Remote, 0, nullptr, 0, 4},
    {keys::kRemotePointStyle, T::Int, O::Remote, 0, nullptr, 0, 2},
    {keys::kRemoteSendDrawings, T::Bool, O::Remote, 1, nullptr, 0, 0},
    {keys::kRemoteSendPointer, T::Bool, O::Remote, 1, nullptr, 0, 0},
    {keys::kRemoteShareClipboard, T::Bool, O::Remote, 1, nullptr, 0, 0},
    {keys::kRemoteSound, T::Bool, O::Remote, 0, nullptr, 0, 0},
    {keys::kRemoteTool, T::Int, O::Remote, 1, nullptr, 0, 7},
    {keys::kShareAllowRemoteControl, T::Bool, O::Home, 0, nullptr, 0, 0},
    {keys::kShareAllowedMonitors, T::Int, O::Home, -1, nullptr, kAnyInt, kAnyIntMax},
    {keys::kShareCode, T::String, O::Home, 0, L"", 0, 0},
    {keys::kShareCompressColour, T::Bool, O::Home, 0, nullptr, 0, 0},
    {keys::kShareDrawingLifetime, T::Int, O::Home, 0, nullptr, 0, 3},
    {keys::kShareFps, T::Int, O::Home, 18, nullptr, 4, 75},
    {keys::kShareHalfResolution, T::Bool, O::Home, 0, nullptr, 0, 0},
    {keys::kShareId, T::String, O::Home, 0, L"", 0, 0},
    {keys::kShareMaxViewers, T::Int, O::Home, 4, nullptr, 1, 8},
    // Any positive mode means the relay.
    {keys::kShareMode, T::Int, O::Home, 0, nullptr, 0, 1},
    // The upper bound is the monitor list, applied when the list is built.
    {keys::kShareMonitor, T::Int, O::Home, 0, nullptr, 0, kAnyIntMax},
    {keys::kSharePort, T::String, O::Home, 0, L"7788", 0, 0},
    {keys::kShareQuality, T::Int, O::Home, 62, nullptr, 20, 100},
    {keys::kShareRequireCode, T::Bool, O::Home, 1, nullptr, 0, 0},
    {keys::kShareShareAudio, T::Bool, O::Home, 0, nullptr, 0, 0},
    {keys::kShareShareClipboard, T::Bool, O::Home, 0, nullptr, 0, 0},
    {keys::kShareShowDrawings, T::Bool, O::Home, 1, nullptr, 0, 0},
    {keys::kShareShowPointer, T::Bool, O::Home, 1, nullptr, 0, 0},
    {keys::kWindowH, T::Int, O::Placement, 0, nullptr, kAnyInt, kAnyIntMax},
    {keys::kWindowMaximised, T::Bool, O::Placement, 0, nullptr, 0, 0},
    {keys::kWindowW, T::Int, O::Placement, 0, nullptr, kAnyInt, kAnyIntMax},
    {keys::kWindowX, T::Int, O::Placement, 0, nullptr, kAnyInt, kAnyIntMax},
    {keys::kWindowY, T::Int, O::Placement, 0, nullptr, kAnyInt, kAnyIntMax},
};

// A name outside the table, or read with the wrong type, is a programming error the tests catch;
// it reads as zero or empty rather than crashing.
const SettingKey& KeyOf(const wchar_t* name, SettingType type) {
  static constexpr SettingKey kUnknown{L"", SettingType::Int, SettingOwner::Home, 0, L"", 0, 0};
  const SettingKey* key = FindSettingKey(name);
  return key != nullptr && key->type == type ? *key : kUnknown;
}

std::uint32_t ReadColour(const SettingsStore& store, const wchar_t* name) { return store.GetColour(name); }

std::vector<std::wstring> ReadStringList(const SettingsStore& store, const wchar_t* name) {
  return store.GetStringList(name);
}

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey* FindSettingKey(std::wstring_view name) {
  for (const SettingKey& key : kKeys) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

int ReadIntSetting(const SettingsStore& store, const wchar_t* name) {
  const SettingKey& key = KeyOf(name, SettingType::Int);
  return std::clamp(store.GetInt(name, key.intDefault), key.min, key.max);
}

bool ReadBoolSetting(const SettingsStore& store, const wchar_t* name) {
  const SettingKey& key = KeyOf(name, SettingType::Bool);
  return store.GetBool(name, key.intDefault != 0);
}

std::wstring ReadStringSetting(const SettingsStore& store, const wchar_t* name) {
  const SettingKey& key = KeyOf(name, SettingType::String);
  return store.GetString(name, key.textDefault != nullptr ? key.textDefault : L"");
}

CodeGenerators CodeGenerators::System() { return CodeGenerators{MakeAccessCode, MakeRelayId}; }

HomeSettings LoadHomeSettings(SettingsStore& store, const CodeGenerators& generators) {
  HomeSettings s;
  s.port = ReadStringSetting(store, keys::kSharePort);
  s.requireCode = ReadBoolSetting(store, keys::kShareRequireCode);
  s.code = ReadStringSetting(store, keys::kShareCode);
  s.mode = ReadIntSetting(store, keys::kShareMode);
  s.id = ReadStringSetting(store, keys::kShareId);
  s.relayServer = ReadStringSetting(store, keys::kRelayServer);
  s.relaySaved = ReadStringList(store, keys::kRelaySaved);
  s.monitor = ReadIntSetting(store, keys::kShareMonitor);
  s.allowedMonitors = ReadIntSetting(store, keys::kShareAllowedMonitors);
  s.maxViewers = ReadIntSetting(store, keys::kShareMaxViewers);
  s.quality = ReadIntSetting(store, keys::kShareQuality);
  s.fps = ReadIntSetting(store, keys::kShareFps);
  s.halfResolution = ReadBoolSetting(store, keys::kShareHalfResolution);
  s.compressColour = ReadBoolSetting(store, keys::kShareCompressColour);
  s.showPointer = ReadBoolSetting(store, keys::kShareShowPointer);
  s.showDrawings = ReadBoolSetting(store, keys::kShareShowDrawings);
  s.allowRemoteControl = ReadBoolSetting(store, keys::kShareAllowRemoteControl);
  s.shareClipboard = ReadBoolSetting(store, keys::kShareShareClipboard);
  s.shareAudio = ReadBoolSetting(store, keys::kShareShareAudio);
  s.drawingLifetime = ReadIntSetting(store, keys::kShareDrawingLifetime);
  s.connectAddress = ReadStringSetting(store, keys::kConnectAddress);
  s.connectPort = ReadStringSetting(store, keys::kConnectPort);
  s.connectCode = ReadStringSetting(store, keys::kConnectCode);
  s.connectMode = ReadIntSetting(store, keys::kConnectMode);
  s.connectPeerId = ReadStringSetting(store, keys::kConnectPeerId);
  s.accentColour = ReadColour(store, keys::kAccentColour);

  // A fresh code stays in memory until the next save.
  if (s.code.empty() && generators.accessCode) s.code = Utf8ToWide(generators.accessCode());

  // The ID is stored at once; separators between the digit groups are kept.
  if (DigitsOnly(s.id).size() != kRelayIdLength && generators.relayId) {
    s.id = Utf8ToWide(generators.relayId());
    store.SetString(keys::kShareId, s.id);
  }

  if (!s.relayServer.empty() &&
      std::find(s.relaySaved.begin(), s.relaySaved.end(), s.relayServer) == s.relaySaved.end()) {
    s.relaySaved.push_back(s.relayServer);
  }

  s.window.x = ReadIntSetting(store, keys::kWindowX);
  s.window.y = ReadIntSetting(store, keys::kWindowY);
  s.window.w = ReadIntSetting(store, keys::kWindowW);
  s.window.h = ReadIntSetting(store, keys::kWindowH);
  s.window.maximised = ReadBoolSetting(store, keys::kWindowMaximised);
  return s;
}

void WriteHomeSettings(SettingsStore& store, const HomeSettings& s) {
  store.SetString(keys::kSharePort, s.port);
  store.SetBool(keys::kShareRequireCode, s.requireCode);
  store.SetString(keys::kShareCode, s.code);
  store.SetInt(keys::kShareMode, s.mode);
  store.SetString(keys::kShareId, s.id);
  store.SetString(keys::kRelayServer, s.relayServer);
  store.SetStringList(keys::kRelaySaved, s.relaySaved);
  store.SetInt(keys::kShareMonitor, s.monitor);
  store.SetInt(keys::kShareAllowedMonitors, s.allowedMonitors);
  store.SetInt(keys::kShareMaxViewers, s.maxViewers);
  store.SetInt(keys::kShareQuality, s.quality);
  store.SetInt(keys::kShareFps, s.fps);
  store.SetBool(keys::kShareHalfResolution, s.halfResolution);
  store.SetBool(keys::kShareCompressColour, s.compressColour);
  store.SetBool(keys::kShareShowPointer, s.showPointer);
  store.SetBool(keys::kShareShowDrawings, s.showDrawings);
  store.SetBool(keys::kShareAllowRemoteControl, s.allowRemoteControl);
  store.SetBool(keys::kShareShareClipboard, s.shareClipboard);
  store.SetBool(keys::kShareShareAudio, s.shareAudio);
  store.SetInt(keys::kShareDrawingLifetime, s.drawingLifetime);
  store.SetString(keys::kConnectAddress, s.connectAddress);
  store.SetString(keys::kConnectPort, s.connectPort);
  store.SetString(keys::kConnectCode, s.connectCode);
  store.SetInt(keys::kConnectMode, s.connectMode);
  store.SetString(keys::kConnectPeerId, s.connectPeerId);
  store.SetColour(keys::kAccentColour, s.accentColour);
}

void WriteWindowPlacement(SettingsStore& store, const WindowPlacement& p) {
  store.SetInt(keys::kWindowX, p.x);
  store.SetInt(keys::kWindowY, p.y);
  store.SetInt(keys::kWindowW, p.w);
  store.SetInt(keys::kWindowH, p.h);
  store.SetBool(keys::kWindowMaximised, p.maximised);
}

RemoteSettings LoadRemoteSettings(const SettingsStore& store) {
  RemoteSettings s;
  s.tool = ReadIntSetting(store, keys::kRemoteTool);
  if (s.tool == RemoteSettings::kControlTool) s.tool = RemoteSettings::kArrowTool;
  s.penColour = ReadColour(store, keys::kRemotePenColour);
  s.penWidth = ReadIntSetting(store, keys::kRemotePenWidth);
  s.drawingLifetime = ReadIntSetting(store, keys::kRemoteDrawingLifetime);
  s.picture = ReadIntSetting(store, keys::kRemotePicture);
  s.pointStyle = ReadIntSetting(store, keys::kRemotePointStyle);
  s.arrowStyle = ReadIntSetting(store, keys::kRemoteArrowStyle);
  s.sendPointer = ReadBoolSetting(store, keys::kRemoteSendPointer);
  s.sendDrawings = ReadBoolSetting(store, keys::kRemoteSendDrawings);
  s.shareClipboard = ReadBoolSetting(store, keys::kRemoteShareClipboard);
  s.sound = ReadBoolSetting(store, keys::kRemoteSound);
  s.matchLayout = ReadBoolSetting(store, keys::kRemoteMatchLayout);
  return s;
}

void WriteRemoteSettings(SettingsStore& store, const RemoteSettings& s) {
  store.SetInt(keys::kRemoteTool, s.tool == RemoteSettings::kControlTool ? RemoteSettings::kArrowTool : s.tool);
  store.SetColour(keys::kRemotePenColour, s.penColour);
  store.SetInt(keys::kRemotePenWidth, s.penWidth);
  store.SetInt(keys::kRemoteDrawingLifetime, s.drawingLifetime);
  store.SetInt(keys::kRemotePicture, s.picture);
  store.SetInt(keys::kRemotePointStyle, s.pointStyle);
  store.SetInt(keys::kRemoteArrowStyle, s.arrowStyle);
  store.SetBool(keys::kRemoteSendPointer, s.sendPointer);
  store.SetBool(keys::kRemoteSendDrawings, s.sendDrawings);
  store.SetBool(keys::kRemoteShareClipboard, s.shareClipboard);
  store.SetBool(keys::kRemoteSound, s.sound);
  store.SetBool(keys::kRemoteMatchLayout, s.matchLayout);
}

}  // namespace tvx
