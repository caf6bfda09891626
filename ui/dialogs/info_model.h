// The file information dialog (template 101): the title, artist, album or game and
// sample count of a song file, its tags in a list that can be edited, added to and
// removed from, and the password button. Edits live in the dialog's TagList until
// the dialog is destroyed; then they are written to the file in one go.
#pragma once
#include <cstdint>
#include <string>

#include "ui/dialogs/dialog_model.h"
#include "ui/tags.h"

class Song;

class InfoModel : public DialogModel {
 public:
  // FILE is read when the dialog opens; SERVICES runs its prompts and questions;
  // PASSWORD_KEY is the process-wide key the Password button sets.
  InfoModel(const char* file, DialogServices& services, uint32_t& passwordKey);
  ~InfoModel() override;

  void Open() override;
  void Command(int id) override;
  void SelectionChanged(int id, int index) override;
  // Writes the tags back (only into a song file) and frees the state.
  void Destroy() override;

  const TagList& Tags() const { return tags_; }

 private:
  void EditTag();
  void AddTagPair();
  void RemoveSelectedTag();
  void SetPassword();
  int Selection() const;

  // The state record: the name shown (at most 199 characters), the tags, the Song
  // that counts samples, the count. The full name is kept for reading and writing,
  // so a long name never makes the dialog touch a different, shorter-named file.
  char fileName_[kDialogTextSize] = "";
  std::string path_;
  TagList tags_{};
  Song* song_ = nullptr;
  uint32_t sampleCount_ = 0;
  // Whether closing writes the tags: the file starts like a song and has a valid tag
  // trailer. A collection's last entry or a foreign file is never touched.
  bool songFile_ = false;
  bool destroyed_ = false;

  DialogServices& services_;
  uint32_t& passwordKey_;
};

// Whether PATH is a song file whose tags may be rewritten: it opens, starts with
// the song sniff "ZSF" and ends in a valid tag trailer.
bool IsTaggableSongFile(const char* path);
