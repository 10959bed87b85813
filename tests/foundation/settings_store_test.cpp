#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/settings_store.h"
#include "foundation/text.h"
#include "support/log_capture.h"
#include "support/temp_folder.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

const wchar_t kWarning[] = L"settings file is not valid JSON, starting from defaults: ";

// A fresh folder per test, removed afterwards.
class SettingsStoreTest : public ::testing::Test {
 protected:

  std::wstring PathOf(const char* name) const { return (dir_ / name).wstring(); }

  void WriteFile(const std::wstring& path, const std::string& bytes) const {
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  static std::string ReadFile(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  testing::TempFolder folder_{"tvx_settings_"};
  const fs::path dir_ = folder_.path();
};

TEST_F(SettingsStoreTest, LoadAcceptsOnlyAWholeObject) {
  struct Case {
    const char* name;
    std::string bytes;
    bool warns;
    std::size_t members;
  } const cases[] = {
      {"object", "{\"a\": 1, \"b\": \"x\"}", false, 2},
      {"bom and empty object", "\xEF\xBB\xBF{}", false, 0},
      {"trailing white space", "{\"a\":1} \t\r\n\r\n", false, 1},
      {"leading white space", "\n  {\"a\":1}", false, 1},
      {"nested 30 deep", "{\"a\":" + std::string(29, '[') + std::string(29, ']') + "}", false, 1},
      {"nested 40 deep", "{\"a\":" + std::string(39, '[') + std::string(39, ']') + "}", true, 0},
      {"array", "[1, 2]", true, 0},
      {"string", "\"text\"", true, 0},
      {"number", "42", true, 0},
      {"garbage after the object", "{\"a\":1} x", true, 0},
      {"second object", "{}{}", true, 0},
      {"cut short", "{\"a\": [1, 2", true, 0},
      {"only a bom", "\xEF\xBB\xBF", true, 0},
      {"two boms", "\xEF\xBB\xBF\xEF\xBB\xBF{}", true, 0},
      {"nul byte inside", std::string("{\"a\":1}\0", 8), true, 0},
      {"invalid utf-8 in a string", "{\"a\":\"\xFF\"}", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = PathOf("settings.json");
    WriteFile(path, c.bytes);
    testing::LogCapture capture;
    SettingsStore store;
    store.Load(path);
    EXPECT_EQ(store.path(), path);
    ASSERT_TRUE(store.root().IsObject());
    EXPECT_EQ(store.root().members().size(), c.members);
    EXPECT_EQ(capture.Contains(kWarning + path), c.warns);
    if (c.warns) {
      // The broken file stays on disk untouched.
      EXPECT_EQ(ReadFile(path), c.bytes);
    }
  }
}

TEST_F(SettingsStoreTest, UnreadableFilesGiveDefaultsSilently) {
  const std::wstring empty = PathOf("empty.json");
  WriteFile(empty, "");
  const std::wstring missing = PathOf("missing.json");
  const std::wstring folder = PathOf("folder.json");
  fs::create_directory(fs::path(folder));
  // Over 4 MiB even though it is a valid object.
  const std::wstring huge = PathOf("huge.json");
  WriteFile(huge, "{\"a\":1}" + std::string(SettingsStore::kMaxFileBytes, ' '));

  for (const std::wstring& path : {empty, missing, folder, huge}) {
    SCOPED_TRACE(WideToUtf8(path));
    testing::LogCapture capture;
    SettingsStore store;
    store.SetInt(L"stale", 1);
    store.Load(path);
    EXPECT_EQ(store.path(), path);
    EXPECT_TRUE(store.root().IsObject());
    EXPECT_TRUE(store.root().members().empty());
    EXPECT_TRUE(capture.Entries().empty());
  }

  // Exactly 4 MiB still loads.
  const std::string body = "{\"a\":1}";
  WriteFile(huge, body + std::string(SettingsStore::kMaxFileBytes - body.size(), '\n'));
  SettingsStore store;
  store.Load(huge);
  EXPECT_EQ(store.GetInt(L"a", 0), 1);
}

TEST_F(SettingsStoreTest, AccessorsConvertAsDocumented) {
  const std::wstring path = PathOf("settings.json");
  WriteFile(path,
            "{\"n\": 3.9, \"neg\": -3.9, \"t\": true, \"f\": false, \"s\": \"text\", \"empty\": \"\","
            " \"nul\": null, \"big\": 1e300, \"small\": -1e300, \"nan\": nan, \"inf\": inf,"
            " \"max\": 2147483647, \"over\": 2147483648, \"min\": -2147483648, \"zero\": 0, \"two\": 2,"
            " \"list\": [\"a\", \"\", 5, null, \"b\", [\"c\"]], \"obj\": {\"x\": 1}}");
  SettingsStore store;
  store.Load(path);

  struct IntCase {
    const wchar_t* key;
    int expected;
  } const ints[] = {
      {L"n", 3},          {L"neg", -3},     {L"t", 1},          {L"f", 0},       {L"s", 77},
      {L"nul", 77},       {L"missing", 77}, {L"big", INT_MAX},  {L"small", INT_MIN},
      {L"nan", 77},       {L"inf", INT_MAX}, {L"max", INT_MAX}, {L"over", INT_MAX},
      {L"min", INT_MIN},  {L"list", 77},    {L"obj", 77},
  };
  for (const IntCase& c : ints) EXPECT_EQ(store.GetInt(c.key, 77), c.expected) << WideToUtf8(c.key);

  struct BoolCase {
    const wchar_t* key;
    bool fallback;
    bool expected;
  } const bools[] = {
      {L"t", false, true},  {L"f", true, false},    {L"zero", true, false}, {L"two", false, true},
      {L"nan", false, true}, {L"s", true, true},    {L"s", false, false},   {L"missing", true, true},
      {L"nul", false, false}, {L"obj", true, true},
  };
  for (const BoolCase& c : bools) EXPECT_EQ(store.GetBool(c.key, c.fallback), c.expected) << WideToUtf8(c.key);

  EXPECT_EQ(store.GetString(L"s", L"d"), L"text");
  EXPECT_EQ(store.GetString(L"empty", L"d"), L"");
  EXPECT_EQ(store.GetString(L"n", L"d"), L"d");
  EXPECT_EQ(store.GetString(L"missing", L"d"), L"d");

  EXPECT_EQ(store.GetStringList(L"list"), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_TRUE(store.GetStringList(L"s").empty());
  EXPECT_TRUE(store.GetStringList(L"missing").empty());

  // Reading never inserts.
  const std::size_t members = store.root().members().size();
  EXPECT_TRUE(store.Get(L"missing").IsNull());
  EXPECT_EQ(store.root().members().size(), members);
}

TEST_F(SettingsStoreTest, ColoursFallBackToTheAccentGreen) {
  SettingsStore store;
  const struct {
    JsonValue stored;
    std::uint32_t expected;
  } cases[] = {
      {JsonValue::String(L"#25E07A"), 0xFF25E07A},
      {JsonValue::String(L"25e07a"), 0xFF25E07A},
      {JsonValue::String(L"#80102030"), 0x80102030},
      {JsonValue::String(L"#112233"), 0xFF112233},
      {JsonValue::String(L"#1122334"), SettingsStore::kDefaultColour},
      {JsonValue::String(L"#GG2233"), SettingsStore::kDefaultColour},
      {JsonValue::String(L""), SettingsStore::kDefaultColour},
      {JsonValue::Number(255), SettingsStore::kDefaultColour},
      {JsonValue(), SettingsStore::kDefaultColour},
  };
  JsonValue root = JsonValue::Object();
  for (std::size_t i = 0; i < std::size(cases); ++i) root.Set(std::to_wstring(i), cases[i].stored);
  const std::wstring path = PathOf("colour.json");
  WriteFile(path, WideToUtf8(SerializeJson(root, 0)));
  store.Load(path);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(store.GetColour(std::to_wstring(i)), cases[i].expected) << WideToUtf8(SerializeJson(cases[i].stored, 0));
  }
  EXPECT_EQ(store.GetColour(L"missing"), 0xFF25E07Au);
  store.SetColour(L"c", 0x80102030);
  EXPECT_EQ(store.GetString(L"c", L""), L"#80102030");
  store.SetColour(L"c", 0xFF102030);
  EXPECT_EQ(store.GetString(L"c", L""), L"#102030");
}

TEST_F(SettingsStoreTest, SetReplacesAnyKind) {
  SettingsStore store;
  store.SetString(L"k", L"text");
  store.SetInt(L"k", 62);
  EXPECT_EQ(store.Get(L"k").kind(), JsonKind::Number);
  store.SetBool(L"k", true);
  EXPECT_EQ(store.Get(L"k").kind(), JsonKind::Bool);
  store.SetStringList(L"k", {L"a", L"b"});
  EXPECT_EQ(store.GetStringList(L"k"), (std::vector<std::wstring>{L"a", L"b"}));
  store.SetColour(L"k", 0xFF000000);
  EXPECT_EQ(store.GetString(L"k", L""), L"#000000");
  EXPECT_EQ(store.root().members().size(), 1u);
}

TEST_F(SettingsStoreTest, SaveWritesTheDocumentAndReadsBack) {
  const std::wstring path = PathOf("settings.json");
  WriteFile(path, "{\"keep\": [1, 2.5]}");
  SettingsStore store;
  store.Load(path);
  store.SetInt(L"share.quality", 62);
  store.SetString(L"text", std::wstring(L"tab\t \"quoted\" back\\slash \x01 \u00e9"));
  store.SetBool(L"flag", false);
  store.SetStringList(L"relay.saved", {L"r1:7000"});
  ASSERT_TRUE(store.Save());

  const std::string expected =
      "{\n"
      "  \"flag\": false,\n"
      "  \"keep\": [\n"
      "    1,\n"
      "    2.5\n"
      "  ],\n"
      "  \"relay.saved\": [\n"
      "    \"r1:7000\"\n"
      "  ],\n"
      "  \"share.quality\": 62,\n"
      "  \"text\": \"tab\\t \\\"quoted\\\" back\\\\slash \\u0001 \xC3\xA9\"\n"
      "}\n";
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_FALSE(fs::exists(fs::path(path + L".tmp")));

  SettingsStore again;
  again.Load(path);
  EXPECT_EQ(again.root(), store.root());
  EXPECT_EQ(again.GetString(L"text", L""), store.GetString(L"text", L""));
}

TEST_F(SettingsStoreTest, FailedSaveKeepsTheOldFile) {
  const std::wstring path = PathOf("settings.json");
  const std::string old = "{\"old\": true}";
  WriteFile(path, old);
  SettingsStore store;
  store.Load(path);
  store.SetBool(L"old", false);

  // The ".tmp" name is taken by a folder, so the new text cannot be written.
  fs::create_directory(fs::path(path + L".tmp"));
  EXPECT_FALSE(store.Save());
  EXPECT_EQ(ReadFile(path), old);
  fs::remove(fs::path(path + L".tmp"));
  EXPECT_TRUE(store.Save());
  EXPECT_EQ(ReadFile(path), "{\n  \"old\": false\n}\n");

  // Never loaded: nowhere to save.
  EXPECT_FALSE(SettingsStore().Save());

  // A folder that does not exist.
  SettingsStore lost;
  lost.Load(PathOf("no-such-folder/settings.json"));
  lost.SetInt(L"a", 1);
  EXPECT_FALSE(lost.Save());
  EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

TEST_F(SettingsStoreTest, SaveReplacesAFileOfAnyContent) {
  const std::wstring path = PathOf("settings.json");
  WriteFile(path, "[broken");
  testing::LogCapture capture;
  SettingsStore store;
  store.Load(path);
  EXPECT_TRUE(capture.Contains(kWarning));
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ReadFile(path), "{}\n");
}

}  // namespace
}  // namespace tvx
