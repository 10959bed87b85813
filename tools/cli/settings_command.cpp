// tavrix-cli settings: shows the effective settings of a file, or rewrites it as the windows do.
#include <cstdio>
#include <string>

#include "commands.h"
#include "foundation/json_value.h"
#include "foundation/log.h"
#include "foundation/settings_store.h"
#include "foundation/text.h"
#include "ui/settings_model.h"

namespace tvx::cli {
namespace {

const char kUsage[] =
    "usage: tavrix-cli settings show FILE\n"
    "       tavrix-cli settings save FILE\n"
    "\n"
    "  show  print every setting key with the value the program would use, as one JSON object\n"
    "  save  load FILE as the program does and write every key back to it\n";

const char kShowUsage[] =
    "usage: tavrix-cli settings show FILE\n"
    "\n"
    "Loads FILE as the home window does at start-up and reads the remote window's keys, then\n"
    "prints one JSON object with every setting key and its effective value. A missing or broken\n"
    "file shows the defaults; warnings go to stderr. Exit code 0.\n";

const char kSaveUsage[] =
    "usage: tavrix-cli settings save FILE\n"
    "\n"
    "Loads FILE as the home window does at start-up, writes every home and remote key back as the\n"
    "windows do and saves the file atomically. Exit code 0 when the file was replaced, else 1.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// Warnings of the settings store go to stderr as plain lines, keeping stdout pure JSON.
void LogToStderr() {
  SetLogToDebugOutput(false);
  SetLogObserver([](std::uint32_t level, const std::wstring& message) {
    const std::string line = WideToUtf8(FormatText(L"%s %s\n", LogLevelName(level), message));
    std::fwrite(line.data(), 1, line.size(), stderr);
  });
}

struct Loaded {
  SettingsStore store;
  HomeSettings home;
  RemoteSettings remote;
};

void LoadAll(const std::string& file, Loaded& loaded) {
  loaded.store.Load(Utf8ToWide(file));
  loaded.home = LoadHomeSettings(loaded.store);
  loaded.remote = LoadRemoteSettings(loaded.store);
}

void WriteAll(SettingsStore& store, const Loaded& loaded) {
  WriteHomeSettings(store, loaded.home);
  WriteWindowPlacement(store, loaded.home.window);
  WriteRemoteSettings(store, loaded.remote);
}

int Show(const std::string& file) {
  Loaded loaded;
  LoadAll(file, loaded);
  SettingsStore effective;  // holds exactly the keys of the table
  WriteAll(effective, loaded);
  const std::string text = WideToUtf8(SerializeJson(effective.root(), 0) + L"\n");
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return 0;
}

int Save(const std::string& file) {
  Loaded loaded;
  LoadAll(file, loaded);
  WriteAll(loaded.store, loaded);
  if (!loaded.store.Save()) {
    std::fprintf(stderr, "settings: could not write %s\n", file.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int RunSettings(const Args& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& sub = args[0];
  if (IsHelp(sub)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (sub != "show" && sub != "save") {
    std::fprintf(stderr, "settings: unknown subcommand '%s' (try --help)\n", sub.c_str());
    return 2;
  }
  const char* usage = sub == "show" ? kShowUsage : kSaveUsage;
  std::string file;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (IsHelp(arg)) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "settings %s: unknown option '%s' (try --help)\n", sub.c_str(), arg.c_str());
      return 2;
    }
    if (!file.empty()) {
      std::fprintf(stderr, "settings %s: only one FILE is taken (try --help)\n", sub.c_str());
      return 2;
    }
    file = arg;
  }
  if (file.empty()) {
    std::fprintf(stderr, "settings %s: FILE is missing (try --help)\n", sub.c_str());
    return 2;
  }
  LogToStderr();
  return sub == "show" ? Show(file) : Save(file);
}

}  // namespace tvx::cli
