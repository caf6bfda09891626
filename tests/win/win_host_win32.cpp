// win_host: a console stand-in for the media player on Windows. It loads the plug-in
// with LoadLibraryA, fills the player's side of its record as the Linux test host does
// (HostRecord) with a hidden main window of its own for the end-of-song message, and
// runs one command (kUsage) between Init and Quit, while a second thread works any
// dialog that opens (the steps after "--", see dialog_driver.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "dialog_driver.h"
#include "host/wav_header.h"
#include "support/host_record.h"
#include "ui/dialogs/dialog_templates.h"

namespace {

using winhost::DialogDriver;
using zsftest::HostRecord;

constexpr const char* kUsage =
    "usage: win_host COMMAND DLL [ARGUMENTS] [--seek MS] [--play-first NAME] [--timeout S] [-- STEP...]\n"
    "  play NAME OUT.wav   NAME to its end into OUT.wav as zsfplay writes it (--seek: from MS on)\n"
    "  info NAME...        title<TAB>length_ms of each NAME\n"
    "  stop NAME           Stop while rendering and while draining, then NAME to its end\n"
    "  settings | config | about | infobox FILE | templates (the dialog templates read back)\n"
    "--play-first plays NAME to its end first; --timeout (default 120) ends with code 4.\n"
    "exit codes: 0 done, 1 usage or loading, 2 a check failed, 3 a step failed, 4 time limit\n";

constexpr int kExitUsage = 1, kExitCheck = 2, kExitTimeLimit = 4;
constexpr int kRoom = 1 << 20;      // CanWrite's answer when the output is not held
constexpr DWORD kPumpSliceMs = 20;
constexpr const char* kSettingsKey = "Software\\Quorvath Entertainment\\ZSFPlay";

struct Options {
  std::string command, dll, playFirst;
  std::vector<std::string> args, steps;
  int seekMs = -1, timeoutS = 120;
};

HostRecord gRecord;
HMODULE gLibrary = nullptr;
In_Module* gRec = nullptr;
DWORD gLimitMs = 0;

void Say(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "win_host: %s\n", what.c_str());
  std::fflush(stderr);
}

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmWaMpegEof) {
    HostRecord::CountEnd();
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Wine makes the desktop in a process of its own when the first window needs it; under
// emulation that process sometimes dies on the way, and the next try starts another.
HWND CreateMainWindow() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = MainWindowProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "ZsfWinHostMain";
  RegisterClassA(&cls);
  for (int attempt = 1; attempt <= 5; ++attempt, Sleep(1000)) {
    // Never shown: the player's main window only owns dialogs and takes messages.
    if (HWND window = CreateWindowExA(0, cls.lpszClassName, "win_host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 400, 300, nullptr, nullptr, cls.hInstance, nullptr))
      return window;
  }
  Say("cannot create the main window (error " + std::to_string(GetLastError()) + ")");
  return nullptr;
}

// Dispatches the main thread's messages (the end-of-song message arrives there) until
// DONE holds or the time limit passed; returns whether DONE held.
template <typename Done>
bool PumpUntil(Done done) {
  for (DWORD start = GetTickCount();;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    if (GetTickCount() - start >= gLimitMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSliceMs, QS_ALLINPUT);
  }
}

// Ends the process if the command still runs after LIMIT_MS: a hang in the plug-in
// must fail the run, not stall it. main sets the event and joins the thread, so that
// no thread of ours is left at the end (one still waiting is suspected in the crashes
// of an emulated Wine's process teardown).
HANDLE gWatchdogStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
DWORD WINAPI Watchdog(void* limitMs) {
  if (WaitForSingleObject(gWatchdogStop, DWORD(reinterpret_cast<uintptr_t>(limitMs))) == WAIT_OBJECT_0) return 0;
  Say("gave up: the command did not finish in time");
  TerminateProcess(GetCurrentProcess(), kExitTimeLimit);
  return 0;
}

// The audio since the last Open as the WAV file zsfplay writes.
bool WriteWav(const std::string& path, std::string* why) {
  const std::vector<zsftest::OpenCall> opens = gRecord.Opens();
  std::vector<uint8_t> data = gRecord.WrittenSinceOpen();
  uint8_t header[wav::kHeaderBytes];
  BuildWavHeader(PcmFormat{opens.back().sampleRate, opens.back().channels, opens.back().bits},
                 static_cast<uint32_t>(data.size()), header);
  if (data.size() % 2) data.push_back(0);  // RIFF chunks are word-aligned
  FILE* out = std::fopen(path.c_str(), "wb");
  bool written = out && std::fwrite(header, 1, sizeof header, out) == sizeof header &&
                 std::fwrite(data.data(), 1, data.size(), out) == data.size();
  if (out && std::fclose(out) != 0) written = false;
  if (!written) *why = path + ": cannot write the WAV file";
  return written;
}

// Plays NAME to its end into WAV (empty: not kept); optionally from SEEK_MS on.
int PlayToEnd(const std::string& name, const std::string& wav, int seekMs) {
  const int ends = gRecord.EndMessages(), opens = int(gRecord.Opens().size()), closes = gRecord.CloseCount();
  const size_t flushes = gRecord.Flushes().size();
  // Held output renders nothing before the seek target, as zsfplay --seek does.
  gRecord.SetFreeBytes(seekMs >= 0 ? 0 : kRoom);
  auto fail = [&](const std::string& why) { return gRec->Stop(), Say(name + ": " + why), kExitCheck; };
  if (gRec->Play(name.c_str()) != 0) return fail("Play failed");
  if (seekMs >= 0) {
    // Asked for as soon as Play returns, as players resuming a song do.
    gRec->SetOutputTime(seekMs);
    const bool sought = PumpUntil([&] {
      std::vector<int> f = gRecord.Flushes();
      return f.size() > flushes && f.back() == seekMs;
    });
    gRecord.SetFreeBytes(kRoom);
    if (!sought) return fail("the seek to " + std::to_string(seekMs) + " ms was never performed");
  }
  const bool ended = PumpUntil([&] { return gRecord.EndMessages() > ends; });
  gRec->Stop();
  PumpUntil([] { return true; });
  const zsftest::OpenCall o = gRecord.Opens().back();
  const int newOpens = int(gRecord.Opens().size()) - opens, newEnds = gRecord.EndMessages() - ends;
  Print("played " + name + ": " + std::to_string(gRecord.WrittenSinceOpen().size()) + " bytes at " +
        std::to_string(o.sampleRate) + " Hz, " + std::to_string(o.channels) + " channels, " + std::to_string(o.bits) +
        " bits, end messages " + std::to_string(newEnds) + ", output opened " + std::to_string(newOpens) +
        " and closed " + std::to_string(gRecord.CloseCount() - closes));
  std::string why;
  if (!ended) why = name + ": the song did not end (no end-of-song message)";
  // A collection address may start the collection's first tune before the wanted one.
  else if (newEnds != 1 || newOpens < 1 || gRecord.CloseCount() - closes != newOpens)
    why = name + ": expected one end message and a Close for every Open";
  if (why.empty() && !wav.empty()) WriteWav(wav, &why);
  if (!why.empty()) Say(why);
  return why.empty() ? 0 : kExitCheck;
}

// Stops NAME where the output puts the decode thread, and checks what a player relies
// on: Stop returns, the output was closed once, no end message came.
int StopAt(const std::string& name, const std::string& where, bool rendering) {
  const int ends = gRecord.EndMessages(), closes = gRecord.CloseCount();
  const int polls = rendering ? gRecord.CanWriteCalls() : gRecord.IsPlayingCalls();
  gRecord.SetFreeBytes(rendering ? 0 : kRoom);  // no room: the thread waits with a block rendered
  gRecord.SetPlayingPolls(rendering ? 0 : -1);  // everything rendered, never finishing to play
  if (gRec->Play(name.c_str()) != 0) return Say(name + ": Play failed"), kExitCheck;
  const bool there = PumpUntil([&] { return (rendering ? gRecord.CanWriteCalls() : gRecord.IsPlayingCalls()) > polls + 1; });
  gRec->Stop();
  PumpUntil([] { return true; });
  gRecord.SetFreeBytes(kRoom);
  gRecord.SetPlayingPolls(0);
  Print("stop while " + where + ": returned, output closed " + std::to_string(gRecord.CloseCount() - closes) +
        ", end messages " + std::to_string(gRecord.EndMessages() - ends));
  if (!there) return Say("the decode thread never got to " + where), kExitCheck;
  if (gRecord.CloseCount() - closes != 1 || gRecord.EndMessages() != ends)
    return Say("stop while " + where + ": expected one Close and no end message"), kExitCheck;
  return 0;
}

int Info(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::vector<char> title(512, '\0');  // the player's title buffer
    int length = -1000;
    gRec->GetFileInfo(name.c_str(), title.data(), &length);
    title.back() = '\0';
    std::printf("%s\t%d\n", title.data(), length);
  }
  std::fflush(stdout);
  return 0;
}

int PrintSettings() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return Say(std::string("no key HKLM\\") + kSettingsKey), kExitCheck;
  for (const char* name : {"", "DisableSEcho", "LoBit", "Mono", "LoadLen", "TitleOutput"}) {
    char data[512] = "";
    DWORD type = 0, size = sizeof data - 1;
    const std::string label = *name ? name : "@";
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
      Print(label + " missing");
    } else if (type == REG_DWORD && size == 4) {
      DWORD value;
      std::memcpy(&value, data, 4);
      Print(label + "=dword:" + std::to_string(value));
    } else {
      data[size] = '\0';
      Print(label + (type == REG_SZ ? "=sz:" : "=type " + std::to_string(type) + ":") + data + " (" + std::to_string(size) + " bytes)");
    }
  }
  RegCloseKey(key);
  return 0;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Every dialog template the DLL holds, created from its resources and read back
// through the window API, against the data the resource script was generated from:
// caption, font, size, and each control's id, class, text, style and place.
int Templates(HWND owner) {
  std::vector<std::string> wrong;
  for (const DialogTemplate* t : {&kInfoTemplate, &kConfigTemplate, &kPromptTemplate}) {
    const std::string in = "template " + std::to_string(t->id);
    HWND dialog = CreateDialogParamA(gLibrary, MAKEINTRESOURCEA(t->id), owner, QuietDialog, 0);
    if (!dialog) {
      wrong.push_back(in + ": cannot be created");
      continue;
    }
    auto check = [&](bool good, const std::string& what) {
      if (!good) wrong.push_back(in + ": " + what);
    };
    char text[512];
    GetWindowTextA(dialog, text, sizeof text);
    check(t->caption == std::string(text), std::string("caption ") + text);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    check(std::string(font.lfFaceName) == t->font, std::string("font ") + font.lfFaceName);
    RECT want{0, 0, t->width, t->height}, got;
    MapDialogRect(dialog, &want);
    GetClientRect(dialog, &got);
    check(got.right == want.right && got.bottom == want.bottom, "client size");
    size_t i = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++i) {
      if (i >= t->controlCount) break;
      const ControlTemplate& ct = t->controls[i];
      const std::string which = "control " + std::to_string(i) + " (" + std::to_string(ct.id) + ") ";
      char cls[64] = "";
      GetClassNameA(c, cls, sizeof cls);
      GetWindowTextA(c, text, sizeof text);
      static const char* const kClasses[] = {"Static", "Edit", "Button", "ListBox"};
      // Edit borders may become a sunken edge, and a list without lines hides its scroll bar.
      const LONG kMayChange = WS_BORDER | WS_VSCROLL;
      const LONG style = GetWindowLongA(c, GWL_STYLE) | ((GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? WS_BORDER : 0);
      RECT place{ct.x, ct.y, ct.width, ct.height}, at;  // mapped each on its own, as the dialog manager does
      MapDialogRect(dialog, &place);
      GetWindowRect(c, &at);
      MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&at), 2);
      check((GetDlgCtrlID(c) & 0xFFFF) == (ct.id & 0xFFFF), which + "id " + std::to_string(GetDlgCtrlID(c)));
      check(lstrcmpiA(cls, kClasses[int(ct.cls)]) == 0, which + "class " + cls);
      check(ct.cls == ControlClass::ListBox || ct.text == std::string(text), which + "text " + text);
      check((style & ct.style & ~kMayChange) == LONG(ct.style & ~kMayChange) &&
                (style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE),
            which + "style " + std::to_string(style));
      // A list box keeps to whole lines: only its height may differ.
      check(at.left == place.left && at.top == place.top && at.right - at.left == place.right &&
                (ct.cls == ControlClass::ListBox || at.bottom - at.top == place.bottom),
            which + "place " + std::to_string(at.left) + "," + std::to_string(at.top) + " " +
                std::to_string(at.right - at.left) + "x" + std::to_string(at.bottom - at.top));
    }
    check(i == t->controlCount, std::to_string(i) + " controls");
    DestroyWindow(dialog);
    Print(in + ": read back");
  }
  for (const std::string& w : wrong) Say(w);
  return wrong.empty() ? 0 : kExitCheck;
}

bool ParseOptions(int argc, char** argv, Options* o, std::string* why) {
  if (argc < 3) return *why = "a COMMAND and the DLL are needed", false;
  o->command = argv[1];
  o->dll = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    const bool valued = a == "--seek" || a == "--timeout" || a == "--play-first";
    if (valued && i + 1 >= argc) return *why = a + " needs a value", false;
    if (a == "--") {
      o->steps.assign(argv + i + 1, argv + argc);
      break;
    } else if (a == "--seek") {
      o->seekMs = std::atoi(argv[++i]);
    } else if (a == "--timeout") {
      o->timeoutS = std::atoi(argv[++i]);
    } else if (a == "--play-first") {
      o->playFirst = argv[++i];
    } else if (a.rfind("--", 0) == 0) {
      return *why = "unknown option " + a, false;
    } else {
      o->args.push_back(a);
    }
  }
  // How many arguments each command takes; -1: one or more.
  static const std::map<std::string, int> kArguments = {{"play", 2},     {"info", -1},   {"stop", 1},
                                                         {"infobox", 1}, {"settings", 0}, {"config", 0},
                                                         {"about", 0},   {"templates", 0}};
  const auto wanted = kArguments.find(o->command);
  if (wanted == kArguments.end()) return *why = "unknown command " + o->command, false;
  if (wanted->second < 0 ? o->args.empty() : o->args.size() != size_t(wanted->second))
    return *why = o->command + " takes " + (wanted->second < 0 ? "one or more" : std::to_string(wanted->second)) +
                  " arguments", false;
  if (o->timeoutS <= 0) return *why = "--timeout must be positive", false;
  return DialogDriver::Check(o->steps, why);
}

int Run(const Options& o, HWND window) {
  if (!o.playFirst.empty()) {
    if (int status = PlayToEnd(o.playFirst, "", -1)) return status;
  }
  const std::string& c = o.command;
  if (c == "play") return PlayToEnd(o.args[0], o.args[1], o.seekMs);
  if (c == "info") return Info(o.args);
  if (c == "settings") return PrintSettings();
  if (c == "templates") return Templates(window);
  if (c == "stop") {
    for (bool rendering : {true, false})
      if (int status = StopAt(o.args[0], rendering ? "rendering" : "draining", rendering)) return status;
    return PlayToEnd(o.args[0], "", -1);  // nothing of the stopped songs is left to disturb the next
  }
  if (c == "config") gRec->Config(window);
  if (c == "about") gRec->About(window);
  if (c == "infobox") Print("InfoBox returned " + std::to_string(gRec->InfoBox(o.args[0].c_str(), window)));
  if (c == "config" || c == "about") Print(std::string(c == "config" ? "Config" : "About") + " returned");
  return 0;
}

// Loads the plug-in, runs the command between Init and Quit, waits for the dialog
// steps and unloads the plug-in; returns the exit code.
int LoadAndRun(const Options& o) {
  HWND window = CreateMainWindow();
  if (!window) return kExitUsage;
  gLibrary = LoadLibraryA(o.dll.c_str());
  auto get = gLibrary ? reinterpret_cast<GetInModuleFn>(reinterpret_cast<void*>(GetProcAddress(gLibrary, kInModuleExport)))
                      : nullptr;
  if (!get || !(gRec = get())) {
    Say(o.dll + ": cannot load, or no record from " + kInModuleExport + " (error " + std::to_string(GetLastError()) + ")");
    return kExitUsage;
  }
  HostRecord::FillPlayerSide(gRec, window, gLibrary);
  DialogDriver driver;
  if (!o.steps.empty() && !driver.Start(GetCurrentThreadId(), o.steps)) return Say("cannot start the dialog thread"), kExitUsage;
  gRec->Init();
  int status = Run(o, window);
  gRec->Quit();
  PumpUntil([] { return true; });
  // A step that fails ends the process itself; here the steps either all ran or are
  // still waiting for a dialog the command never opened.
  if (!driver.Finish(gLimitMs)) {
    Say("the dialog steps did not finish");
    status = kExitCheck;
  }
  FreeLibrary(gLibrary);
  DestroyWindow(window);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string why;
  if (!ParseOptions(argc, argv, &o, &why)) {
    Say(why);
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  gLimitMs = DWORD(o.timeoutS) * 1000;
  // A little more than the waits inside, which report their own failure.
  HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, reinterpret_cast<void*>(uintptr_t{gLimitMs + 5000}), 0, nullptr);
  const int status = LoadAndRun(o);
  SetEvent(gWatchdogStop);
  WaitForSingleObject(watchdog, INFINITE);
  // Every thread of ours has ended and the output file is closed. Printed last, so that
  // a crash after it (an emulated Wine's process teardown) can be told apart from a
  // failure of the work.
  Say("done " + std::to_string(status));
  return status;
}
