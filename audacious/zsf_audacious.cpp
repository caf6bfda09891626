// The Audacious input plug-in: ZSF songs, ZTF tunes and ZGM collections in
// Audacious' playlists. A collection is a file of subtunes (one per tune, numbered
// by its position in the collection, as in the address form zgm://FILE,N, which
// works too). Tags go into Audacious' own fields; the settings live in Audacious'
// configuration under [zsf]. Every call works on objects of its own (zsf_track.h),
// so Audacious may read tags on one thread while it plays on another.
#include <libaudcore/audstrings.h>
#include <libaudcore/i18n.h>
#include <libaudcore/plugin.h>
#include <libaudcore/preferences.h>
#include <libaudcore/runtime.h>

#include <cstring>
#include <string>
#include <vector>

#include "audacious/zsf_track.h"
#include "collection/collection_address.h"
#include "engine/engine.h"

#define EXPORT __attribute__((visibility("default")))

namespace {

constexpr const char* kSection = "zsf";
constexpr int kBlockFrames = 1024;

const char* const kDefaults[] = {
    "lo_bit", "FALSE",
    "mono", "FALSE",
    "load_lengths", "FALSE",
    "use_title_template", "FALSE",
    "title_template", "%title% (%artist%)",
    "passwords", "",
    nullptr};

zsftrack::TrackOptions Options() {
  zsftrack::TrackOptions o;
  o.loBit = aud_get_bool(kSection, "lo_bit");
  o.mono = aud_get_bool(kSection, "mono");
  o.computeLength = aud_get_bool(kSection, "load_lengths");
  // Passwords are separated by ";" (a password cannot hold one).
  const std::string list = static_cast<const char*>(aud_get_str(kSection, "passwords"));
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) o.passwords.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return o;
}

// What a name Audacious hands us refers to. A collection file without a subtune
// number is the file of subtunes itself (ALL_TUNES).
struct Name {
  zsftrack::TrackRef ref;
  bool allTunes = false;
};

Name Parse(const char* uri) {
  Name name;
  if (std::strncmp(uri, kCollectionScheme, kCollectionSchemeSize) == 0) {
    // zgm://FILE,N: the address form of the Winamp plug-in.
    CollectionAddress address = ParseCollectionAddress(uri);
    name.ref.file = address.file;
    if (address.track == kFirstTuneTrack) {
      std::vector<int32_t> tunes;
      std::string ignored;
      name.ref.entry = zsftrack::ListTunes(address.file, &tunes, &ignored) && !tunes.empty()
                           ? tunes.front()
                           : zsftrack::kNoTune;
    } else {
      name.ref.entry = address.track;
    }
    return name;
  }
  const char* sub = nullptr;
  int subtune = -1;
  uri_parse(uri, nullptr, nullptr, &sub, &subtune);
  StringBuf file = uri_to_filename(str_copy(uri, sub - uri));
  name.ref.file = file ? static_cast<const char*>(file) : "";
  if (zsftrack::IsCollectionFile(name.ref.file)) {
    // No "?N" behind the name: the collection itself, whose subtunes are its tunes.
    name.allTunes = *sub == '\0';
    name.ref.entry = subtune;
  }
  return name;
}

void SetTags(Tuple& tuple, const zsftrack::TrackTags& tags, bool useTemplate) {
  const std::string& title = useTemplate ? tags.formattedTitle : tags.title;
  if (!title.empty()) tuple.set_str(Tuple::Title, title.c_str());
  if (!tags.artist.empty()) tuple.set_str(Tuple::Artist, tags.artist.c_str());
  // The game names the soundtrack: it is the album unless the song names one, and
  // then it goes into the comment.
  if (!tags.album.empty()) {
    tuple.set_str(Tuple::Album, tags.album.c_str());
    if (!tags.game.empty()) tuple.set_str(Tuple::Comment, tags.game.c_str());
  } else if (!tags.game.empty()) {
    tuple.set_str(Tuple::Album, tags.game.c_str());
  }
  if (tags.lengthMs > 0) tuple.set_int(Tuple::Length, tags.lengthMs);
}

bool Fail(const char* filename, const std::string& why) {
  AUDERR("%s: %s\n", filename, why.c_str());
  return false;
}

}  // namespace

class ZsfPlugin : public InputPlugin {
 public:
  static const char kAbout[];
  static const char* const kExtensions[];
  static const char* const kSchemes[];
  static const PreferencesWidget kWidgets[];
  static const PluginPreferences kPreferences;
  static constexpr PluginInfo kInfo = {N_("ZSF Music Files"), nullptr, kAbout, &kPreferences, 0};

  constexpr ZsfPlugin()
      : InputPlugin(kInfo, InputInfo(FlagSubtunes).with_exts(kExtensions).with_schemes(kSchemes)) {}

  bool init() override {
    aud_config_set_defaults(kSection, kDefaults);
    // Every renderer plays each order once, as the Winamp plug-in does.
    EngineSetDefaultIgnoreJump(1);
    return true;
  }

  bool is_our_file(const char* filename, VFSFile& file) override {
    if (std::strncmp(filename, kCollectionScheme, kCollectionSchemeSize) == 0) return true;
    char head[3];
    return file && file.fread(head, 1, 3) == 3 &&
           (std::memcmp(head, "ZSF", 3) == 0 || std::memcmp(head, "ZGM", 3) == 0);
  }

  bool read_tag(const char* filename, VFSFile& file, Tuple& tuple, Index<char>* image) override {
    const Name name = Parse(filename);
    std::string error;
    if (name.allTunes) {
      std::vector<int32_t> tunes;
      if (!zsftrack::ListTunes(name.ref.file, &tunes, &error)) return Fail(filename, error);
      std::vector<short> ids(tunes.begin(), tunes.end());
      tuple.set_subtunes(static_cast<short>(ids.size()), ids.data());
      return true;
    }
    const bool useTemplate = aud_get_bool(kSection, "use_title_template");
    const std::string titleTemplate = static_cast<const char*>(aud_get_str(kSection, "title_template"));
    zsftrack::TrackTags tags;
    if (!zsftrack::ReadTrackTags(name.ref, Options(), useTemplate ? titleTemplate.c_str() : nullptr,
                                 &tags, &error))
      return Fail(filename, error);
    SetTags(tuple, tags, useTemplate);
    if (name.ref.entry != zsftrack::kSongFile) tuple.set_int(Tuple::Subtune, name.ref.entry);
    const zsftrack::TrackOptions options = Options();
    tuple.set_format("ZSF", options.mono ? 1 : 2, kEngineOutputRate, -1);
    return true;
  }

  bool play(const char* filename, VFSFile& file) override {
    const Name name = Parse(filename);
    zsftrack::TrackPlayer player;
    std::string error;
    if (name.allTunes) return Fail(filename, "a collection plays one tune at a time");
    if (!player.Open(name.ref, Options(), &error)) return Fail(filename, error);
    const int frameBytes = player.channels() * player.bits() / 8;
    open_audio(player.bits() == 8 ? FMT_U8 : FMT_S16_LE, kEngineOutputRate, player.channels());
    std::vector<char> block(size_t(kBlockFrames) * frameBytes);
    while (!check_stop()) {
      const int seek = check_seek();
      if (seek >= 0) player.Seek(seek);
      const long frames = player.Render(block.data(), kBlockFrames);
      if (frames <= 0) break;
      write_audio(block.data(), static_cast<int>(frames) * frameBytes);
    }
    return true;
  }

};

const char ZsfPlugin::kAbout[] =
    N_("Plays ZSF songs, ZTF tunes and the tunes of ZGM collections: tracker modules whose "
       "samples live in a ZSP sample pack beside them or inside the collection.");
const char* const ZsfPlugin::kExtensions[] = {"zsf", "ztf", "zgm", nullptr};
const char* const ZsfPlugin::kSchemes[] = {"zgm", nullptr};

const PreferencesWidget ZsfPlugin::kWidgets[] = {
    WidgetLabel(N_("<b>Output</b>")),
    WidgetCheck(N_("8-bit samples"), WidgetBool(kSection, "lo_bit")),
    WidgetCheck(N_("Mono"), WidgetBool(kSection, "mono")),
    WidgetLabel(N_("<b>Playlist</b>")),
    WidgetCheck(N_("Load songs without a stored length to measure them (slow)"),
                WidgetBool(kSection, "load_lengths")),
    WidgetCheck(N_("Title from this template (set Audacious' own title format to ${title}):"),
                WidgetBool(kSection, "use_title_template")),
    WidgetEntry(N_("Template:"), WidgetString(kSection, "title_template"), {false}, WIDGET_CHILD),
    WidgetLabel(N_("<b>Protected sample packs</b>")),
    WidgetEntry(N_("Passwords, tried in turn (separate them with ;):"),
                WidgetString(kSection, "passwords"), {true}),
};

const PluginPreferences ZsfPlugin::kPreferences = {{kWidgets}, nullptr, nullptr, nullptr};

EXPORT ZsfPlugin aud_plugin_instance;
