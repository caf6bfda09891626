// win_host: a console stand-in for the media player on Windows. It loads the plug-in
// with LoadLibraryA, takes its record from the one export and fills the player's side
// as the player does: a hidden main window of its own that receives the end-of-song
// message, the library handle, visualisation and effect hooks that take what they are
// given and change nothing, and an output that records the PCM into a WAV file.
// Then it runs one command, with a second thread working any dialog that opens.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "dialog_driver.h"
#include "host_output.h"
#include "plugin/host_api.h"

namespace {

using namespace winhost;

constexpr const char* kUsage =
    "usage: win_host COMMAND DLL [ARGUMENTS] [OPTIONS] [-- STEP...]\n"
    "commands:\n"
    "  play NAME OUT.wav   play NAME to its end, the audio into OUT.wav\n"
    "  info NAME...        print title<TAB>length_ms of each NAME (GetFileInfo)\n"
    "  stop NAME           Stop while rendering and while draining: it returns, the\n"
    "                      output is closed, no end-of-song message; then NAME plays to its end\n"
    "  settings            print the stored settings after Init\n"
    "  config | about      open the configuration or the About box\n"
    "  infobox FILE        open the file information\n"
    "options:\n"
    "  --seek MS           play: start at MS (the output is held until the seek is done)\n"
    "  --play-first NAME   play NAME to its end (audio not kept) before the command\n"
    "  --shots DIR         where shot: steps save their pictures (default .)\n"
    "  --timeout S         give up after S seconds, exit code 4 (default 120)\n"
    "steps (see dialog_driver.h): wait:CAPTION gone text:ID=VALUE click:ID yes no ok\n"
    "  select:ID=N get:ID dump shot:NAME\n"
    "exit codes: 0 done, 1 usage or loading, 2 a check failed, 3 a step failed, 4 time limit\n";

constexpr int kExitUsage = 1;
constexpr int kExitCheck = 2;
constexpr int kExitTimeLimit = 4;

constexpr size_t kTitleBytes = 512;  // the player's title buffer for GetFileInfo
constexpr int kUnknownLength = -1000;
constexpr int kHoldAfterBytes = 64 * 1024;
constexpr DWORD kPumpSliceMs = 20;
constexpr const char* kSettingsKey = "Software\\Quorvath Entertainment\\ZSFPlay";

struct Options {
  std::string command;
  std::string dll;
  std::vector<std::string> args;
  std::vector<std::string> steps;
  int seekMs = -1;
  std::string playFirst;
  std::string shots = ".";
  int timeoutS = 120;
};

volatile LONG gEnds = 0;
volatile LONG gOtherMessages = 0;

void Say(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "win_host: %s\n", what.c_str());
  std::fflush(stderr);
}

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int Ends() { return int(InterlockedCompareExchange(&gEnds, 0, 0)); }

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmWaMpegEof) {
    InterlockedIncrement(&gEnds);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Wine makes the desktop in a process of its own when the first window needs it; under
// emulation that process sometimes dies on the way, and the next try starts another.
constexpr int kWindowTries = 5;
constexpr DWORD kWindowRetryMs = 1000;

HWND CreateMainWindow() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = MainWindowProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "ZsfWinHostMain";
  if (!RegisterClassA(&cls)) {
    Say("cannot register the main window's class (error " + std::to_string(GetLastError()) + ")");
    return nullptr;
  }
  for (int attempt = 1;; ++attempt) {
    // Never shown: the player's main window only owns dialogs and takes messages.
    HWND window = CreateWindowExA(0, cls.lpszClassName, "win_host", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr, nullptr,
                                  cls.hInstance, nullptr);
    DWORD error = GetLastError();
    if (window) {
      if (attempt > 1) Say("the main window needed " + std::to_string(attempt) + " tries");
      return window;
    }
    if (attempt == kWindowTries) {
      Say("cannot create the main window (error " + std::to_string(error) + ", " +
          std::to_string(kWindowTries) + " tries)");
      return nullptr;
    }
    Sleep(kWindowRetryMs);
  }
}

// Dispatches the main thread's messages (the end-of-song message arrives there)
// until DONE holds or TIMEOUT_MS passed; returns whether DONE held.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (true) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return done();
    DWORD slice = timeoutMs - elapsed < kPumpSliceMs ? timeoutMs - elapsed : kPumpSliceMs;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
  }
}

void DrainMessages() {
  PumpUntil([] { return true; }, 0);
}

// The player's hooks: visualisation takes what it gets, effects change nothing.
void SAVSAInit(int, int) {}
void SAVSADeInit() {}
void SAAddPCMData(void*, int, int, int) {}
int SAGetMode() { return 0; }
int SAAdd(void*, int, int) { return 0; }
void VSAAddPCMData(void*, int, int, int) {}
int VSAGetMode(int* spec, int* wave) {
  if (spec) *spec = 0;
  if (wave) *wave = 0;
  return 0;
}
int VSAAdd(void*, int) { return 0; }
void VSASetInfo(int, int) {}
int DspIsActive() { return 0; }
int DspDoSamples(short*, int frames, int, int, int) { return frames; }
void SetInfo(int, int, int, int) {}

struct Plugin {
  HMODULE library = nullptr;
  In_Module* rec = nullptr;
};

bool LoadPlugin(const std::string& path, HWND window, Plugin* plugin, std::string* why) {
  plugin->library = LoadLibraryA(path.c_str());
  if (!plugin->library) {
    *why = path + ": cannot load (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  auto get = reinterpret_cast<GetInModuleFn>(
      reinterpret_cast<void*>(GetProcAddress(plugin->library, kInModuleExport)));
  if (!get) {
    *why = path + ": no export " + kInModuleExport;
    return false;
  }
  In_Module* rec = get();
  if (!rec) {
    *why = path + ": the export returned no record";
    return false;
  }
  rec->hMainWindow = window;
  rec->hDllInstance = plugin->library;
  rec->SAVSAInit = SAVSAInit;
  rec->SAVSADeInit = SAVSADeInit;
  rec->SAAddPCMData = SAAddPCMData;
  rec->SAGetMode = SAGetMode;
  rec->SAAdd = SAAdd;
  rec->VSAAddPCMData = VSAAddPCMData;
  rec->VSAGetMode = VSAGetMode;
  rec->VSAAdd = VSAAdd;
  rec->VSASetInfo = VSASetInfo;
  rec->dsp_isactive = DspIsActive;
  rec->dsp_dosamples = DspDoSamples;
  rec->SetInfo = SetInfo;
  rec->outMod = OutputRecord(window);
  plugin->rec = rec;
  return true;
}

// Ends the process if the command is still running after its time limit: a hang in
// the plug-in must fail the run, not stall it. Stop wakes and joins it, so that the
// process ends with no thread of ours left (one still waiting is suspected in the
// crashes of an emulated Wine's process teardown).
class Watchdog {
 public:
  bool Start(DWORD limitMs) {
    limitMs_ = limitMs;
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop_) return false;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    return thread_ != nullptr;
  }
  ~Watchdog() { Stop(); }
  void Stop() {
    if (thread_) {
      SetEvent(stop_);
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    if (stop_) {
      CloseHandle(stop_);
      stop_ = nullptr;
    }
  }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<Watchdog*>(param);
    if (WaitForSingleObject(self->stop_, self->limitMs_) == WAIT_OBJECT_0) return 0;
    Say("gave up after " + std::to_string(self->limitMs_ / 1000) +
        " s: the command did not finish");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), kExitTimeLimit);
    return 0;
  }

  DWORD limitMs_ = 0;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

std::string Describe(const OutputCounts& c) {
  return std::to_string(c.dataBytes) + " bytes at " + std::to_string(c.rate) + " Hz, " +
         std::to_string(c.channels) + " channels, " + std::to_string(c.bits) + " bits";
}

// Plays NAME to its end into WAV (empty: counted only); optionally from SEEK_MS on.
// Returns 0 or the exit code of the failure, which it has reported.
int PlayToEnd(const Plugin& plugin, const std::string& name, const std::string& wav, int seekMs,
              DWORD limitMs) {
  In_Module* rec = plugin.rec;
  SetOutputPath(wav);
  // Held output renders nothing before the seek target, as zsfplay --seek does.
  SetOutputHold(seekMs >= 0);
  int endsBefore = Ends();
  OutputCounts before = OutputState();
  if (rec->Play(name.c_str()) != 0) {
    SetOutputHold(false);
    rec->Stop();
    Say(name + ": Play failed" + (OutputError().empty() ? "" : ": " + OutputError()));
    return kExitCheck;
  }
  if (seekMs >= 0) {
    // Asked for as soon as Play returns, as players resuming a song do; performed
    // when a flush names the target.
    rec->SetOutputTime(seekMs);
    bool started = PumpUntil([&] {
      OutputCounts now = OutputState();
      return now.flushes > before.flushes && now.lastFlushMs == seekMs;
    }, limitMs);
    SetOutputHold(false);
    if (!started) {
      rec->Stop();
      Say(name + ": the seek to " + std::to_string(seekMs) + " ms was never performed");
      return kExitCheck;
    }
  }
  bool ended = PumpUntil([&] { return Ends() > endsBefore; }, limitMs);
  rec->Stop();
  DrainMessages();
  OutputCounts after = OutputState();
  int ends = Ends() - endsBefore;
  Print("played " + name + ": " + Describe(after) + ", end messages " + std::to_string(ends) +
        ", output opened " + std::to_string(after.opens - before.opens) + " and closed " +
        std::to_string(after.closes - before.closes));
  if (!ended) {
    Say(name + ": the song did not end (no end-of-song message)");
    return kExitCheck;
  }
  if (!OutputError().empty()) {
    Say(OutputError());
    return kExitCheck;
  }
  // A collection address may start the collection's first tune before the wanted
  // one; every output opened must have been closed.
  int opens = after.opens - before.opens;
  if (ends != 1 || opens < 1 || after.closes - before.closes != opens) {
    Say(name + ": expected one end message and a Close for every Open");
    return kExitCheck;
  }
  return 0;
}

int Info(const Plugin& plugin, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::vector<char> title(kTitleBytes, '\0');
    int length = kUnknownLength;
    plugin.rec->GetFileInfo(name.c_str(), title.data(), &length);
    title.back() = '\0';
    std::printf("%s\t%d\n", title.data(), length);
  }
  std::fflush(stdout);
  return 0;
}

// Stops the song at the point the output puts the decode thread, and checks what a
// player relies on: Stop returns, the output was closed once, no end message came.
int StopAt(const Plugin& plugin, const std::string& name, const std::string& where,
           bool (*reached)(const OutputCounts& before, const OutputCounts& now), DWORD limitMs) {
  int endsBefore = Ends();
  OutputCounts before = OutputState();
  if (plugin.rec->Play(name.c_str()) != 0) {
    Say(name + ": Play failed");
    return kExitCheck;
  }
  bool there = PumpUntil([&] { return reached(before, OutputState()); }, limitMs);
  plugin.rec->Stop();
  DrainMessages();
  OutputCounts after = OutputState();
  int closes = after.closes - before.closes;
  int ends = Ends() - endsBefore;
  Print("stop while " + where + ": returned, output closed " + std::to_string(closes) +
        ", end messages " + std::to_string(ends));
  if (!there) {
    Say("the decode thread never got to " + where);
    return kExitCheck;
  }
  if (closes != 1 || ends != 0) {
    Say("stop while " + where + ": expected one Close and no end message");
    return kExitCheck;
  }
  return 0;
}

int StopChecks(const Plugin& plugin, const std::string& name, DWORD limitMs) {
  SetOutputPath("");
  // The output fills up after a few blocks; the decode thread then waits for room.
  HoldOutputAfter(kHoldAfterBytes);
  int status = StopAt(plugin, name, "rendering", [](const OutputCounts& b, const OutputCounts& n) {
    return n.held && n.canWriteCalls > b.canWriteCalls;
  }, limitMs);
  HoldOutputAfter(-1);
  if (status != 0) return status;
  // Everything rendered, but the device never finishes playing it.
  SetOutputPlayingForever(true);
  status = StopAt(plugin, name, "draining", [](const OutputCounts& b, const OutputCounts& n) {
    return n.isPlayingCalls > b.isPlayingCalls;
  }, limitMs);
  SetOutputPlayingForever(false);
  if (status != 0) return status;
  // Nothing of the stopped songs is left behind to disturb the next one.
  return PlayToEnd(plugin, name, "", -1, limitMs);
}

int PrintSettings() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    Say(std::string("no key HKLM\\") + kSettingsKey);
    return kExitCheck;
  }
  const char* names[] = {"", "DisableSEcho", "LoBit", "Mono", "LoadLen", "TitleOutput"};
  for (const char* name : names) {
    char data[512] = "";
    DWORD type = 0;
    DWORD size = sizeof data - 1;
    LONG got = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    std::string label = *name ? name : "@";
    if (got != ERROR_SUCCESS) {
      Print(label + " missing");
    } else if (type == REG_DWORD && size == 4) {
      DWORD value;
      std::memcpy(&value, data, 4);
      Print(label + "=dword:" + std::to_string(value));
    } else if (type == REG_SZ) {
      data[size] = '\0';
      Print(label + "=sz:" + data + " (" + std::to_string(size) + " bytes)");
    } else {
      Print(label + " has type " + std::to_string(type) + ", " + std::to_string(size) + " bytes");
    }
  }
  RegCloseKey(key);
  return 0;
}

bool ParseOptions(int argc, char** argv, Options* o, std::string* why) {
  if (argc < 3) {
    *why = "a COMMAND and the DLL are needed";
    return false;
  }
  o->command = argv[1];
  o->dll = argv[2];
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--") {
      o->steps.assign(argv + i + 1, argv + argc);
      break;
    } else if (a == "--seek") {
      if (!value(&v)) return *why = "--seek needs MS", false;
      o->seekMs = std::atoi(v.c_str());
    } else if (a == "--timeout") {
      if (!value(&v)) return *why = "--timeout needs S", false;
      o->timeoutS = std::atoi(v.c_str());
    } else if (a == "--play-first") {
      if (!value(&o->playFirst)) return *why = "--play-first needs NAME", false;
    } else if (a == "--shots") {
      if (!value(&o->shots)) return *why = "--shots needs DIR", false;
    } else if (a.rfind("--", 0) == 0) {
      *why = "unknown option " + a;
      return false;
    } else {
      o->args.push_back(a);
    }
  }
  size_t wanted = o->command == "play" ? 2 : o->command == "stop" || o->command == "infobox" ? 1 : 0;
  bool many = o->command == "info";
  bool known = many || o->command == "play" || o->command == "stop" || o->command == "infobox" ||
               o->command == "settings" || o->command == "config" || o->command == "about";
  if (!known) {
    *why = "unknown command " + o->command;
    return false;
  }
  if (many ? o->args.empty() : o->args.size() != wanted) {
    *why = o->command + " takes " + (many ? "one or more NAMEs" : std::to_string(wanted) + " arguments");
    return false;
  }
  if (o->timeoutS <= 0) {
    *why = "--timeout must be positive";
    return false;
  }
  return DialogDriver::Check(o->steps, why);
}

int Run(const Options& o, const Plugin& plugin, DWORD limitMs) {
  In_Module* rec = plugin.rec;
  HWND window = rec->hMainWindow;
  if (!o.playFirst.empty()) {
    int status = PlayToEnd(plugin, o.playFirst, "", -1, limitMs);
    if (status != 0) return status;
  }
  if (o.command == "play") return PlayToEnd(plugin, o.args[0], o.args[1], o.seekMs, limitMs);
  if (o.command == "info") return Info(plugin, o.args);
  if (o.command == "stop") return StopChecks(plugin, o.args[0], limitMs);
  if (o.command == "settings") return PrintSettings();
  if (o.command == "config") {
    rec->Config(window);
    Print("Config returned");
    return 0;
  }
  if (o.command == "about") {
    rec->About(window);
    Print("About returned");
    return 0;
  }
  int result = rec->InfoBox(o.args[0].c_str(), window);
  Print("InfoBox returned " + std::to_string(result));
  return 0;
}

// Loads the plug-in, runs the command between Init and Quit, waits for the dialog
// steps and unloads the plug-in; returns the exit code.
int LoadAndRun(const Options& o, DWORD limitMs) {
  HWND window = CreateMainWindow();
  if (!window) return kExitUsage;
  Plugin plugin;
  std::string why;
  if (!LoadPlugin(o.dll, window, &plugin, &why)) {
    Say(why);
    return kExitUsage;
  }
  DialogDriver driver;
  if (!o.steps.empty() && !driver.Start(GetCurrentThreadId(), o.steps, o.shots)) {
    Say("cannot start the dialog thread");
    FreeLibrary(plugin.library);
    return kExitUsage;
  }
  In_Module* rec = plugin.rec;
  rec->Init();
  int status = Run(o, plugin, limitMs);
  rec->Quit();
  DrainMessages();
  // A step that fails ends the process itself; here the steps either all ran or
  // are still waiting for a dialog the command never opened.
  if (!driver.Finish(limitMs)) {
    Say("the dialog steps did not finish");
    status = kExitCheck;
  }
  FreeLibrary(plugin.library);
  DestroyWindow(window);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string why;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!ParseOptions(argc, argv, &o, &why)) {
    Say(why);
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  DWORD limitMs = DWORD(o.timeoutS) * 1000;
  // The watchdog allows a little more than the waits inside, which report their own failure.
  Watchdog watchdog;
  if (!watchdog.Start(limitMs + 5000)) {
    Say("cannot start the watchdog thread");
    return kExitUsage;
  }
  int status = LoadAndRun(o, limitMs);
  watchdog.Stop();
  // Every thread of ours has ended and the output file is closed. Printed last, so
  // that a crash after it (an emulated Wine's process teardown) can be told apart
  // from a failure of the work.
  std::fflush(stdout);
  std::fprintf(stderr, "win_host: done %d\n", status);
  std::fflush(stderr);
  return status;
}
