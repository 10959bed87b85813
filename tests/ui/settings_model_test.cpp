#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/text.h"
#include "support/temp_folder.h"
#include "ui/settings_model.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

CodeGenerators FixedCodes() {
  return CodeGenerators{[] { return std::string("ABC234"); }, [] { return std::string("987654321"); }};
}

// Loads a store from JSON text through a file, as the windows do.
class SettingsModelTest : public ::testing::Test {
 protected:

  SettingsStore StoreWith(const std::string& json) {
    const fs::path path = dir_ / "settings.json";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out << json;
    }
    SettingsStore store;
    store.Load(path.wstring());
    return store;
  }

  testing::TempFolder folder_{"tvx_model_"};
  const fs::path dir_ = folder_.path();
};

TEST(SettingKeys, TableIsSortedAndMatchesWhatTheWindowsWrite) {
  const auto table = SettingKeys();
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(CompareUtf16(table[i - 1].name, table[i].name), 0) << WideToUtf8(table[i].name);
  }

  // Writing every window's values into an empty document yields exactly the table's keys, each
  // with a value of the table's type.
  SettingsStore store;
  SettingsStore empty;
  const HomeSettings home = LoadHomeSettings(empty, FixedCodes());
  WriteHomeSettings(store, home);
  WriteWindowPlacement(store, home.window);
  WriteRemoteSettings(store, LoadRemoteSettings(empty));
  ASSERT_EQ(store.root().members().size(), table.size());
  for (const SettingKey& key : table) {
    SCOPED_TRACE(WideToUtf8(key.name));
    const JsonValue& value = store.Get(key.name);
    switch (key.type) {
      case SettingType::Int: EXPECT_EQ(value.kind(), JsonKind::Number); break;
      case SettingType::Bool: EXPECT_EQ(value.kind(), JsonKind::Bool); break;
      case SettingType::String:
      case SettingType::Colour: EXPECT_EQ(value.kind(), JsonKind::String); break;
      case SettingType::StringList: EXPECT_EQ(value.kind(), JsonKind::Array); break;
    }
    EXPECT_EQ(FindSettingKey(key.name), &key);
  }
  EXPECT_EQ(FindSettingKey(L"share.nothing"), nullptr);
}

TEST_F(SettingsModelTest, EmptyFileGivesTheDefaults) {
  SettingsStore store = StoreWith("{}");
  const HomeSettings h = LoadHomeSettings(store, FixedCodes());
  EXPECT_EQ(h.port, L"7788");
  EXPECT_TRUE(h.requireCode);
  EXPECT_EQ(h.code, L"ABC234");
  EXPECT_EQ(h.mode, 0);
  EXPECT_EQ(h.id, L"987654321");
  EXPECT_EQ(h.relayServer, L"");
  EXPECT_TRUE(h.relaySaved.empty());
  EXPECT_EQ(h.monitor, 0);
  EXPECT_EQ(h.allowedMonitors, -1);
  EXPECT_EQ(h.maxViewers, 4);
  EXPECT_EQ(h.quality, 62);
  EXPECT_EQ(h.fps, 18);
  EXPECT_FALSE(h.halfResolution);
  EXPECT_FALSE(h.compressColour);
  EXPECT_TRUE(h.showPointer);
  EXPECT_TRUE(h.showDrawings);
  EXPECT_FALSE(h.allowRemoteControl);
  EXPECT_FALSE(h.shareClipboard);
  EXPECT_FALSE(h.shareAudio);
  EXPECT_EQ(h.drawingLifetime, 0);
  EXPECT_EQ(h.connectAddress, L"192.168.1.10");
  EXPECT_EQ(h.connectPort, L"7788");
  EXPECT_EQ(h.connectCode, L"");
  EXPECT_EQ(h.connectMode, 0);
  EXPECT_EQ(h.connectPeerId, L"");
  EXPECT_EQ(h.accentColour, 0xFF25E07Au);
  EXPECT_EQ(h.window.w, 0);
  EXPECT_FALSE(h.window.maximised);
  EXPECT_FALSE(h.window.Restorable());

  // Only the new ID went into the document; the new code waits for the next save.
  EXPECT_EQ(store.GetString(keys::kShareId, L""), L"987654321");
  EXPECT_TRUE(store.Get(keys::kShareCode).IsNull());
  EXPECT_EQ(store.root().members().size(), 1u);

  const RemoteSettings r = LoadRemoteSettings(store);
  EXPECT_EQ(r.tool, 1);
  EXPECT_EQ(r.penColour, 0xFF25E07Au);
  EXPECT_EQ(r.penWidth, 1);
  EXPECT_EQ(r.drawingLifetime, 0);
  EXPECT_EQ(r.picture, 0);
  EXPECT_EQ(r.pointStyle, 0);
  EXPECT_EQ(r.arrowStyle, 0);
  EXPECT_TRUE(r.sendPointer);
  EXPECT_TRUE(r.sendDrawings);
  EXPECT_TRUE(r.shareClipboard);
  EXPECT_FALSE(r.sound);
  EXPECT_TRUE(r.matchLayout);
}

TEST_F(SettingsModelTest, IntegersAreClampedToTheirRange) {
  struct Case {
    const wchar_t* key;
    const char* stored;  // JSON text of the value
    int expected;
  } const cases[] = {
      {keys::kShareMaxViewers, "0", 1},
      {keys::kShareMaxViewers, "12", 8},
      {keys::kShareMaxViewers, "3.9", 3},
      {keys::kShareMaxViewers, "true", 1},
      {keys::kShareMaxViewers, "\"6\"", 4},
      {keys::kShareMaxViewers, "1e30", 8},
      {keys::kShareMaxViewers, "nan", 4},
      {keys::kShareQuality, "5", 20},
      {keys::kShareQuality, "101", 100},
      {keys::kShareFps, "200", 75},
      {keys::kShareFps, "3", 4},
      {keys::kConnectMode, "5", 1},
      {keys::kConnectMode, "-2", 0},
      {keys::kShareMode, "3", 1},
      {keys::kShareMode, "0.5", 0},
      {keys::kShareMode, "-1", 0},
      {keys::kShareMonitor, "-5", 0},
      {keys::kShareMonitor, "6", 6},
      {keys::kShareAllowedMonitors, "-1", -1},
      {keys::kShareAllowedMonitors, "-2", -2},
      {keys::kShareAllowedMonitors, "5", 5},
      {keys::kShareDrawingLifetime, "4", 3},
      {keys::kRemoteTool, "7", 1},  // the control tool is never restored
      {keys::kRemoteTool, "9", 1},  // 9 clamps to 7, which reads as 1
      {keys::kRemoteTool, "-1", 0},
      {keys::kRemoteTool, "6", 6},
      {keys::kRemotePicture, "\"best\"", 0},
      {keys::kRemotePicture, "9", 4},
      {keys::kRemotePenWidth, "null", 1},
      {keys::kRemotePointStyle, "3", 2},
      {keys::kRemoteArrowStyle, "-1", 0},
      {keys::kRemoteDrawingLifetime, "8", 3},
      {keys::kWindowX, "-1200", -1200},
      {keys::kWindowW, "640.7", 640},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << WideToUtf8(c.key) << " = " << c.stored);
    SettingsStore store = StoreWith("{\"" + WideToUtf8(c.key) + "\": " + c.stored + "}");
    const HomeSettings h = LoadHomeSettings(store, FixedCodes());
    const RemoteSettings r = LoadRemoteSettings(store);
    const std::pair<const wchar_t*, int> read[] = {
        {keys::kShareMaxViewers, h.maxViewers}, {keys::kShareQuality, h.quality},
        {keys::kShareFps, h.fps},               {keys::kConnectMode, h.connectMode},
        {keys::kShareMode, h.mode},             {keys::kShareMonitor, h.monitor},
        {keys::kShareAllowedMonitors, h.allowedMonitors}, {keys::kShareDrawingLifetime, h.drawingLifetime},
        {keys::kRemoteTool, r.tool},            {keys::kRemotePicture, r.picture},
        {keys::kRemotePenWidth, r.penWidth},    {keys::kRemotePointStyle, r.pointStyle},
        {keys::kRemoteArrowStyle, r.arrowStyle}, {keys::kRemoteDrawingLifetime, r.drawingLifetime},
        {keys::kWindowX, h.window.x},           {keys::kWindowW, h.window.w},
    };
    bool found = false;
    for (const auto& [key, value] : read) {
      if (std::wstring(key) == c.key) {
        EXPECT_EQ(value, c.expected);
        found = true;
      }
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(SettingsModelTest, SwitchesAndTexts) {
  SettingsStore store = StoreWith(
      "{\"share.requireCode\": 0, \"share.showPointer\": false, \"share.shareAudio\": 2,"
      " \"remote.sound\": \"yes\", \"remote.matchLayout\": 0, \"share.port\": 7788,"
      " \"connect.address\": \"\", \"connect.peerId\": \"123 456 789\", \"window.maximised\": 1}");
  const HomeSettings h = LoadHomeSettings(store, FixedCodes());
  EXPECT_FALSE(h.requireCode);
  EXPECT_FALSE(h.showPointer);
  EXPECT_TRUE(h.shareAudio);
  EXPECT_EQ(h.port, L"7788");          // a number is not a string: the default
  EXPECT_EQ(h.connectAddress, L"");    // an empty string is kept
  EXPECT_EQ(h.connectPeerId, L"123 456 789");
  EXPECT_TRUE(h.window.maximised);
  const RemoteSettings r = LoadRemoteSettings(store);
  EXPECT_FALSE(r.sound);
  EXPECT_FALSE(r.matchLayout);
}

TEST_F(SettingsModelTest, RelayIdNeedsExactlyNineDigits) {
  struct Case {
    const char* stored;
    const wchar_t* expected;
  } const cases[] = {
      {"\"123 456 789\"", L"123 456 789"},  // separators are kept
      {"\"123456789\"", L"123456789"},
      {"\"id-123-456-789\"", L"id-123-456-789"},
      {"\"12345678\"", L"987654321"},
      {"\"1234567890\"", L"987654321"},
      {"\"\"", L"987654321"},
      {"123456789", L"987654321"},  // a number is not a string
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    SettingsStore store = StoreWith(std::string("{\"share.id\": ") + c.stored + "}");
    const HomeSettings h = LoadHomeSettings(store, FixedCodes());
    EXPECT_EQ(h.id, c.expected);
    // A new ID is in the document at once.
    EXPECT_EQ(store.GetString(keys::kShareId, L""), c.expected);
  }
}

TEST_F(SettingsModelTest, CodeAndRelayListAtStartUp) {
  {
    SettingsStore store = StoreWith("{\"share.code\": \"MYCODE\"}");
    EXPECT_EQ(LoadHomeSettings(store, FixedCodes()).code, L"MYCODE");
  }
  struct Case {
    const char* json;
    std::vector<std::wstring> saved;
  } const cases[] = {
      {"{\"relay.server\": \"r2:7000\", \"relay.saved\": [\"r1:7000\"]}", {L"r1:7000", L"r2:7000"}},
      {"{\"relay.server\": \"r1:7000\", \"relay.saved\": [\"r1:7000\", \"r2:7000\"]}", {L"r1:7000", L"r2:7000"}},
      {"{\"relay.server\": \"\", \"relay.saved\": [\"r1:7000\", \"\", 7]}", {L"r1:7000"}},
      {"{\"relay.server\": \"r1:7000\", \"relay.saved\": \"r9\"}", {L"r1:7000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    SettingsStore store = StoreWith(c.json);
    const HomeSettings h = LoadHomeSettings(store, FixedCodes());
    EXPECT_EQ(h.relaySaved, c.saved);
  }
  // The appended server stays in memory until a save writes the home keys.
  SettingsStore store = StoreWith("{\"relay.server\": \"r2:7000\", \"relay.saved\": [\"r1:7000\"]}");
  HomeSettings h = LoadHomeSettings(store, FixedCodes());
  EXPECT_EQ(store.GetStringList(keys::kRelaySaved).size(), 1u);
  WriteHomeSettings(store, h);
  EXPECT_EQ(store.GetStringList(keys::kRelaySaved), (std::vector<std::wstring>{L"r1:7000", L"r2:7000"}));
  EXPECT_EQ(store.Get(keys::kRelaySaved).kind(), JsonKind::Array);
}

TEST_F(SettingsModelTest, ColoursReadAndWrite) {
  struct Case {
    const char* stored;
    std::uint32_t expected;
  } const cases[] = {
      {"\"#25E07A\"", 0xFF25E07A}, {"\"25e07a\"", 0xFF25E07A}, {"\"#25E07A1\"", 0xFF25E07A},
      {"\"#XYZXYZ\"", 0xFF25E07A}, {"\"#80FF0000\"", 0x80FF0000}, {"\"#0000ff\"", 0xFF0000FF},
  };
  for (const Case& c : cases) {
    SettingsStore store =
        StoreWith(std::string("{\"accentColour\": ") + c.stored + ", \"remote.penColour\": " + c.stored + "}");
    EXPECT_EQ(LoadHomeSettings(store, FixedCodes()).accentColour, c.expected) << c.stored;
    EXPECT_EQ(LoadRemoteSettings(store).penColour, c.expected) << c.stored;
  }
  SettingsStore store;
  HomeSettings h = LoadHomeSettings(store, FixedCodes());
  h.accentColour = 0x8025E07A;
  WriteHomeSettings(store, h);
  EXPECT_EQ(store.GetString(keys::kAccentColour, L""), L"#8025E07A");
}

TEST_F(SettingsModelTest, TheControlToolIsSavedAsTheArrow) {
  SettingsStore store;
  RemoteSettings r = LoadRemoteSettings(store);
  r.tool = RemoteSettings::kControlTool;
  WriteRemoteSettings(store, r);
  EXPECT_EQ(store.GetInt(keys::kRemoteTool, -1), 1);
  r.tool = 5;
  WriteRemoteSettings(store, r);
  EXPECT_EQ(store.GetInt(keys::kRemoteTool, -1), 5);
}

TEST_F(SettingsModelTest, AFreshInstallationSavesTheHomeKeysInOrder) {
  const fs::path path = dir_ / "settings.json";
  SettingsStore store;
  store.Load(path.wstring());
  WriteHomeSettings(store, LoadHomeSettings(store, FixedCodes()));
  ASSERT_TRUE(store.Save());
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string expected =
      "{\n"
      "  \"accentColour\": \"#25E07A\",\n"
      "  \"connect.address\": \"192.168.1.10\",\n"
      "  \"connect.code\": \"\",\n"
      "  \"connect.mode\": 0,\n"
      "  \"connect.peerId\": \"\",\n"
      "  \"connect.port\": \"7788\",\n"
      "  \"relay.saved\": [],\n"
      "  \"relay.server\": \"\",\n"
      "  \"share.allowRemoteControl\": false,\n"
      "  \"share.allowedMonitors\": -1,\n"
      "  \"share.code\": \"ABC234\",\n"
      "  \"share.compressColour\": false,\n"
      "  \"share.drawingLifetime\": 0,\n"
      "  \"share.fps\": 18,\n"
      "  \"share.halfResolution\": false,\n"
      "  \"share.id\": \"987654321\",\n"
      "  \"share.maxViewers\": 4,\n"
      "  \"share.mode\": 0,\n"
      "  \"share.monitor\": 0,\n"
      "  \"share.port\": \"7788\",\n"
      "  \"share.quality\": 62,\n"
      "  \"share.requireCode\": true,\n"
      "  \"share.shareAudio\": false,\n"
      "  \"share.shareClipboard\": false,\n"
      "  \"share.showDrawings\": true,\n"
      "  \"share.showPointer\": true\n"
      "}\n";
  EXPECT_EQ(text, expected);

  // Loading that file again changes nothing.
  SettingsStore again;
  again.Load(path.wstring());
  const HomeSettings h = LoadHomeSettings(again, CodeGenerators{});
  EXPECT_EQ(h.code, L"ABC234");
  EXPECT_EQ(h.id, L"987654321");
}

TEST(WindowPlacement, OnlyAUsableSizeIsRestored) {
  struct Case {
    int w, h;
    bool restorable;
  } const cases[] = {{300, 200, true}, {299, 200, false}, {300, 199, false}, {1920, 1080, true}, {0, 0, false}};
  for (const Case& c : cases) {
    WindowPlacement p;
    p.w = c.w;
    p.h = c.h;
    EXPECT_EQ(p.Restorable(), c.restorable) << c.w << "x" << c.h;
  }
}

}  // namespace
}  // namespace tvx
