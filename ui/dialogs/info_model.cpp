#include "ui/dialogs/info_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "container/byte_stream.h"
#include "container/song.h"
#include "ui/dialogs/password_prompt.h"

namespace {

constexpr const char* kEditPrompt = "Enter a New Value";
constexpr const char* kNamePrompt = "Name the Tag";
constexpr const char* kValuePrompt = "Set the Value";
constexpr const char* kRemoveQuestion = "Are you sure you want to delete this tag?";
constexpr const char* kRemoveCaption = "ZSFPlay";
constexpr const char* kSongSniff = "ZSF";

// Copies at most kPromptAnswerSize - 1 bytes of TEXT into ANSWER, terminated.
void OfferAnswer(char* answer, const char* text) {
  size_t n = strnlen(text, kPromptAnswerSize - 1);
  std::memcpy(answer, text, n);
  answer[n] = '\0';
}

}  // namespace

bool IsTaggableSongFile(const char* path) {
  StreamOwner stream(StreamOpenFile(path));
  if (!stream) return false;
  char head[3] = {};
  TagBlockPlace place{};
  return StreamRead(head, sizeof head, stream.get()) == static_cast<int32_t>(sizeof head) &&
         std::memcmp(head, kSongSniff, sizeof head) == 0 && FindTagBlock(stream.get(), &place);
}

InfoModel::InfoModel(const char* file, DialogServices& services, uint32_t& passwordKey)
    : DialogModel(kInfoTemplate), path_(file ? file : ""), services_(services), passwordKey_(passwordKey) {
  InitTagList(&tags_);
  Find(kInfoTagList)->command = "select";
  Find(kInfoEditTag)->command = "edit";
  Find(kInfoAddTag)->command = "add";
  Find(kInfoRemoveTag)->command = "remove";
  Find(kInfoPassword)->command = "password";
  Find(1)->command = "ok";
}

InfoModel::~InfoModel() {
  // A front end that never delivered the destruction still must not leak.
  if (!destroyed_) {
    FreeTagList(&tags_);
    delete song_;
  }
}

void InfoModel::Open() {
  song_ = new Song();
  OfferAnswer(fileName_, path_.c_str());
  // Only the sample count is wanted; a failed load still reports what it can.
  song_->LoadFile(path_.c_str(), &sampleCount_);
  ReadTags(path_.c_str(), &tags_);
  songFile_ = IsTaggableSongFile(path_.c_str());
  SetCaption(fileName_);

  Control* list = Find(kInfoTagList);
  for (int32_t i = 0; i < tags_.count; ++i) {
    const char* name = tags_.names[i];
    const char* value = tags_.values[i];
    if (EqualsIgnoringAsciiCase(name, "TITLE")) SetText(kInfoTitle, FormatDialogText("Title: %s", value));
    else if (EqualsIgnoringAsciiCase(name, "ARTIST")) SetText(kInfoArtist, FormatDialogText("Artist: %s", value));
    else if (EqualsIgnoringAsciiCase(name, "ALBUM")) SetText(kInfoAlbum, FormatDialogText("Album: %s", value));
    else if (EqualsIgnoringAsciiCase(name, "GAME")) SetText(kInfoAlbum, FormatDialogText("Game: %s", value));
    list->lines.emplace_back(name);
  }
  SetText(kInfoValue, tags_.count > 0 ? "No Tag Selected" : "No Tags!");
  char samples[kDialogTextSize];
  std::snprintf(samples, sizeof samples, "Samples: %u", static_cast<unsigned>(sampleCount_));
  SetText(kInfoSamples, samples);
  Find(kInfoEditTag)->enabled = false;
  Find(kInfoRemoveTag)->enabled = false;
}

int InfoModel::Selection() const {
  int index = Find(kInfoTagList)->selection;
  return index >= 0 && index < tags_.count ? index : -1;
}

void InfoModel::SelectionChanged(int id, int index) {
  Control* list = Find(kInfoTagList);
  if (id != kInfoTagList || index < 0 || index >= static_cast<int>(list->lines.size())) return;
  list->selection = index;
  if (index < tags_.count) SetText(kInfoValue, FormatDialogText("%s", tags_.values[index]));
  Find(kInfoEditTag)->enabled = true;
  Find(kInfoRemoveTag)->enabled = true;
}

void InfoModel::Command(int id) {
  switch (id) {
    case kInfoEditTag: EditTag(); break;
    case kInfoAddTag: AddTagPair(); break;
    case kInfoRemoveTag: RemoveSelectedTag(); break;
    case kInfoPassword: SetPassword(); break;
    case kCommandOk: Close(); break;
    default: break;  // Escape and the close command leave the dialog open
  }
}

void InfoModel::EditTag() {
  int index = Selection();
  if (index < 0) return;
  char answer[kPromptAnswerSize];
  OfferAnswer(answer, tags_.values[index]);
  PromptRequest request{kEditPrompt, answer};
  if (!services_.Prompt(request)) return;
  // A value too long for the prompt was offered cut; taken back unchanged, the cut
  // offer must not shorten the stored value.
  if (std::strlen(tags_.values[index]) >= kPromptAnswerSize &&
      std::strncmp(answer, tags_.values[index], kPromptAnswerSize - 1) == 0 &&
      std::strlen(answer) == kPromptAnswerSize - 1)
    return;
  char* copy = strdup(answer);
  if (!copy) return;
  std::free(tags_.values[index]);
  tags_.values[index] = copy;
}

void InfoModel::AddTagPair() {
  char name[kPromptAnswerSize] = "";
  PromptRequest nameRequest{kNamePrompt, name};
  if (!services_.Prompt(nameRequest)) return;
  char value[kPromptAnswerSize] = "";
  PromptRequest valueRequest{kValuePrompt, value};
  if (!services_.Prompt(valueRequest)) return;
  if (AddTag(&tags_, name, value) != 0) return;
  Find(kInfoTagList)->lines.emplace_back(name);
}

void InfoModel::RemoveSelectedTag() {
  int index = Selection();
  if (index < 0) return;
  MessageBoxModel box{kRemoveQuestion, kRemoveCaption, MessageButtons::YesNo, MessageIcon::Question};
  if (services_.ShowMessage(box) == MessageAnswer::No) return;
  if (RemoveTag(&tags_, index) != 0) return;
  Control* list = Find(kInfoTagList);
  list->lines.erase(list->lines.begin() + index);
  list->selection = -1;
}

void InfoModel::SetPassword() {
  AskPassword(services_, &passwordKey_);
}

void InfoModel::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // Checked again at closing: the file may have changed while the dialog was open.
  if (songFile_ && IsTaggableSongFile(path_.c_str()))
    WriteTags(path_.c_str(), tags_.names, tags_.values, tags_.count);
  FreeTagList(&tags_);
  delete song_;
  song_ = nullptr;
}
