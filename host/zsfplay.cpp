// zsfplay: plays ZSF songs, ZGM collections and collection addresses by loading the
// plug-in and driving it through its module record exactly as the media player does:
// Init, GetFileInfo for the playlist, Play, the end-of-song message, Stop between
// songs, Quit at exit.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "host/audio_output.h"
#include "host/output_device.h"
#include "host/playlist.h"
#include "host/plugin_loader.h"
#include "host/terminal.h"
#include "host/wav_output.h"
#include "ui/product_version.h"

namespace {

// The media player's title buffer for GetFileInfo.
constexpr size_t kTitleBytes = 512;
constexpr int kUnknownLength = -1000;
constexpr int kSeekStepMs = 5000;
constexpr int kPollMs = 50;
// How long the player waits for the plug-in to start or perform the seek of
// --seek before it lets playback go on from where it is.
constexpr int kSeekWaitMs = 10000;
constexpr int kBarWidth = 30;

struct Options {
  std::vector<std::string> names;
  std::string plugin;
  std::string output;
  int seekMs = -1;
  bool titles = false;
  bool quiet = false;
  bool config = false;
  bool about = false;
  std::string info;
};

struct Entry {
  std::string name;
  std::string title;
  int lengthMs = kUnknownLength;
};

enum class Outcome { Played, Failed, Skipped, Quit };

void Say(const std::string& what) { std::fprintf(stderr, "zsfplay: %s\n", what.c_str()); }

bool NameExists(const std::string& name, std::string* why) {
  std::string file = FileOfName(name);
  // A plain file name may hold a comma; then it is the name itself that exists.
  struct stat st;
  if (stat(name.c_str(), &st) == 0 || stat(file.c_str(), &st) == 0) return true;
  *why = (file == name ? "cannot open: " : "cannot open " + file + ": ") + std::strerror(errno);
  return false;
}

Entry Describe(In_Module* rec, const std::string& name) {
  Entry e;
  e.name = name;
  if (rec->GetFileInfo) {
    std::vector<char> title(kTitleBytes, '\0');
    int length = kUnknownLength;
    rec->GetFileInfo(name.c_str(), title.data(), &length);
    title.back() = '\0';
    e.title = title.data();
    e.lengthMs = length;
  }
  return e;
}

// Waits until a flush after the first SEEN ones named MS; false on timeout or quit.
bool WaitForFlushAt(int seen, int ms, int timeoutMs) {
  auto done = [&] { return OutputBridge::FlushCount() > seen && OutputBridge::LastFlushMs() == ms; };
  for (int waited = 0; waited < timeoutMs && !QuitRequested(); waited += 5) {
    if (done()) return true;
    poll(nullptr, 0, 5);
  }
  return done();
}

class Player {
 public:
  Player(LoadedPlugin& plugin, const Options& options)
      : plugin_(plugin), rec_(plugin.record()), options_(options) {
    wav_.SetDeferRename(true);
  }
  ~Player() { plugin_.SetOutput(OutputBridge::Attach(nullptr, &plugin_.window())); }

  // Plays every name; returns the exit status.
  int PlayAll();

 private:
  bool ChooseOutput();
  Outcome PlayOne(const Entry& entry, std::string* failure);
  Outcome Watch(const Entry& entry, int endsBefore);
  void StartAt(int ms, int flushesBefore);

  LoadedPlugin& plugin_;
  In_Module* rec_;
  const Options& options_;
  AudioOutput audio_;
  WavOutput wav_;
  bool toFiles_ = false;
  std::string folder_;  // empty: the single file named by -o
  std::map<std::string, int> usedBases_;
};

bool Player::ChooseOutput() {
  if (!options_.output.empty()) {
    toFiles_ = true;
    if (IsFolderTarget(options_.output)) {
      folder_ = options_.output;
      if (mkdir(folder_.c_str(), 0777) != 0 && errno != EEXIST) {
        Say(folder_ + ": cannot create the folder: " + std::strerror(errno));
        return false;
      }
    } else if (options_.names.size() > 1) {
      Say("-o " + options_.output + " names one file but " + std::to_string(options_.names.size()) +
          " songs were given; use -o FOLDER/ for several");
      return false;
    }
    return true;
  }
  std::string why;
  if (AudioOutput::Probe(&why)) return true;
  Say("cannot play to a sound device (" + why + "); writing ./<song>.wav instead");
  toFiles_ = true;
  folder_ = ".";
  return true;
}

int Player::PlayAll() {
  if (!ChooseOutput()) return 1;
  // The playlist first, as the media player builds it before playing.
  std::vector<Entry> playlist;
  for (const std::string& name : options_.names) playlist.push_back(Describe(rec_, name));

  std::vector<std::string> failed;
  for (const Entry& entry : playlist) {
    if (QuitRequested()) break;
    std::string failure;
    Outcome outcome = PlayOne(entry, &failure);
    if (outcome == Outcome::Failed) {
      Say(entry.name + ": " + failure);
      failed.push_back(entry.name);
    }
    if (outcome == Outcome::Quit) break;
  }
  if (QuitRequested()) {
    Say("interrupted");
    return 1;
  }
  if (failed.empty()) return 0;
  std::string list;
  for (const std::string& name : failed) list += (list.empty() ? "" : ", ") + name;
  Say("not played: " + list);
  return 1;
}

void Player::StartAt(int ms, int seen) {
  // The output is held, so the plug-in renders nothing before the target: ask for
  // the seek at once, as players resuming a song do, and wait for its flush.
  if (rec_->SetOutputTime) rec_->SetOutputTime(ms);
  WaitForFlushAt(seen, ms, kSeekWaitMs);
  OutputBridge::SetHold(false);
}

Outcome Player::PlayOne(const Entry& entry, std::string* failure) {
  std::string why;
  if (!NameExists(entry.name, &why)) {
    *failure = why;
    return Outcome::Failed;
  }
  if (!rec_->Play || !rec_->Stop) {
    *failure = options_.plugin + ": the plug-in cannot play (no Play or Stop)";
    return Outcome::Failed;
  }
  std::string wavPath;
  if (toFiles_) {
    if (folder_.empty()) {
      wavPath = options_.output;
    } else {
      std::string base = SongBaseName(entry.name);
      wavPath = WavPathIn(folder_, base, usedBases_[base]++);
    }
    wav_.SetPath(wavPath);
    plugin_.SetOutput(OutputBridge::Attach(&wav_, &plugin_.window()));
  } else {
    audio_.ClearError();
    plugin_.SetOutput(OutputBridge::Attach(&audio_, &plugin_.window()));
  }
  if (!options_.quiet) {
    std::string title = entry.title.empty() ? entry.name : entry.title;
    std::printf("%s (%s)%s\n", title.c_str(),
                entry.lengthMs >= 0 ? FormatTime(entry.lengthMs).c_str() : "length unknown",
                wavPath.empty() ? "" : (" -> " + wavPath).c_str());
    std::fflush(stdout);
  }

  bool seek = options_.seekMs > 0;
  OutputBridge::SetHold(seek);
  int endsBefore = plugin_.window().EndCount();
  int flushesBefore = OutputBridge::FlushCount();
  plugin_.window().TakeRefusal();
  int result = rec_->Play(entry.name.c_str());
  if (result != 0) {
    OutputBridge::SetHold(false);
    // Stop is harmless without a decode thread; an output left open is closed here.
    rec_->Stop();
    std::string device = toFiles_ ? wav_.error() : audio_.error();
    wav_.Discard();
    audio_.Close();
    // The device's own error is the more precise; else what the plug-in told the window.
    std::string refusal = plugin_.window().TakeRefusal();
    *failure = !device.empty() ? device : !refusal.empty() ? refusal : "the plug-in could not play it";
    return Outcome::Failed;
  }
  if (seek) StartAt(options_.seekMs, flushesBefore);

  Outcome outcome = Watch(entry, endsBefore);
  rec_->Stop();
  // The decode thread closed the output before Stop returned; a file left open
  // means the plug-in never closed it.
  if (toFiles_ && wav_.IsOpen()) wav_.Close();
  audio_.Close();
  if (toFiles_) {
    // A song interrupted by a signal leaves no file that looks complete.
    if (QuitRequested()) {
      wav_.Discard();
    } else if (!wav_.Commit()) {
      *failure = wav_.error();
      return Outcome::Failed;
    }
  }
  return outcome;
}

Outcome Player::Watch(const Entry& entry, int endsBefore) {
  RawKeys keys;
  StatusLine status(!options_.quiet && StdoutIsTerminal());
  // A seek asked for but not yet performed (no flush since): further steps count
  // from its target, so that quick presses add up.
  int pendingTarget = -1;
  int flushesAtSeek = 0;
  while (true) {
    if (QuitRequested()) return Outcome::Quit;
    Key key = Key::None;
    if (keys.active()) {
      key = keys.Read(kPollMs);
      if (plugin_.window().EndCount() > endsBefore) return Outcome::Played;
    } else if (plugin_.window().WaitForEnd(endsBefore, kPollMs)) {
      return Outcome::Played;
    }
    int length = rec_->GetLength ? rec_->GetLength() : kUnknownLength;
    if (length <= 0) length = entry.lengthMs;
    int now = rec_->GetOutputTime ? rec_->GetOutputTime() : 0;
    if (pendingTarget >= 0 && OutputBridge::FlushCount() == flushesAtSeek) {
      now = pendingTarget;
    } else {
      pendingTarget = -1;
    }
    bool paused = rec_->IsPaused && rec_->IsPaused();
    switch (key) {
      case Key::PauseResume:
        if (paused && rec_->UnPause) rec_->UnPause();
        if (!paused && rec_->Pause) rec_->Pause();
        paused = !paused;
        break;
      case Key::SeekBack:
      case Key::SeekForward: {
        int target = now + (key == Key::SeekForward ? kSeekStepMs : -kSeekStepMs);
        if (length > 0 && target > length) target = length;
        if (target < 0) target = 0;
        if (rec_->SetOutputTime) {
          if (pendingTarget < 0) flushesAtSeek = OutputBridge::FlushCount();
          pendingTarget = target;
          rec_->SetOutputTime(target);
          now = target;
        }
        break;
      }
      case Key::Next: return Outcome::Skipped;
      case Key::Quit: return Outcome::Quit;
      case Key::None: break;
    }
    status.Show(FormatStatus(now, length, paused, kBarWidth));
  }
}

// Runs the record's dialog slots asked for on the command line.
int RunDialogs(LoadedPlugin& plugin, const Options& options) {
  In_Module* rec = plugin.record();
  PlatformWindow* window = &plugin.window();
  int status = 0;
  if (options.config) {
    if (rec->Config) rec->Config(window);
    else status = 1, Say(options.plugin + ": the plug-in has no configuration");
  }
  if (options.about) {
    if (rec->About) rec->About(window);
    else status = 1, Say(options.plugin + ": the plug-in has no About box");
  }
  if (!options.info.empty()) {
    if (rec->InfoBox) rec->InfoBox(options.info.c_str(), window);
    else status = 1, Say(options.plugin + ": the plug-in has no file information");
  }
  return status;
}

int PrintTitles(In_Module* rec, const Options& options) {
  int status = 0;
  for (const std::string& name : options.names) {
    Entry e = Describe(rec, name);
    std::printf("%s\t%d\n", e.title.c_str(), e.lengthMs);
    std::string why;
    if (!NameExists(name, &why)) {
      Say(name + ": " + why);
      status = 1;
    }
  }
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"Plays ZSF songs, ZGM collections and collection addresses (zgm://FILE,N)."};
  app.set_version_flag("--version", "zsfplay " + ProductVersion());
  app.add_option("NAME", options.names, "Song file, collection file or collection address")
      ->type_name("NAME");
  app.add_option("--plugin", options.plugin, "The plug-in to load (default: in_zsf.so beside zsfplay, else the installed one)")
      ->type_name("PATH");
  app.add_option("-o,--output", options.output,
                 "Write the audio to FILE.wav instead of the sound device; with several NAMEs, "
                 "to one file per song in FOLDER/")
      ->type_name("FILE.wav|FOLDER/");
  app.add_option("--seek", options.seekMs, "Start each song at MS milliseconds")
      ->check(CLI::NonNegativeNumber)
      ->type_name("MS");
  app.add_flag("--titles", options.titles, "Print title<TAB>length_ms for each NAME and exit");
  app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
  app.add_flag("--config", options.config, "Open the plug-in's configuration");
  app.add_flag("--about", options.about, "Show the plug-in's About box");
  app.add_option("--info", options.info, "Open the plug-in's file information for FILE")
      ->type_name("FILE");
  app.footer(
      "Keys while playing on a terminal: space pause/resume, left/right seek 5 s, n next, "
      "q quit.\nSettings are read from the plug-in's store ($ZSF_REGISTRY).");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }
  bool dialogs = options.config || options.about || !options.info.empty();
  if (options.names.empty() && !dialogs) {
    Say("no NAME given (see --help)");
    return 1;
  }
  if (options.plugin.empty()) {
    std::string looked;
    options.plugin = FindPlugin(ZSF_PLUGIN_FROM_BIN, &looked);
    if (options.plugin.empty()) {
      Say("no plug-in found (looked for " + looked + "); name one with --plugin PATH");
      return 1;
    }
  }

  InstallQuitSignals();
  LoadedPlugin plugin;
  std::string error;
  if (!plugin.Load(options.plugin, &error)) {
    Say(error);
    return 1;
  }
  In_Module* rec = plugin.record();
  // No sound before a song chooses its output: the record never points at nothing.
  plugin.SetOutput(OutputBridge::Attach(nullptr, &plugin.window()));
  if (rec->Init) rec->Init();

  int status = RunDialogs(plugin, options);
  if (!options.names.empty()) {
    int played = options.titles ? PrintTitles(rec, options) : Player(plugin, options).PlayAll();
    if (played != 0) status = played;
  }
  if (rec->Quit) rec->Quit();
  return status;
}
