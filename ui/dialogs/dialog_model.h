// The toolkit-independent side of the plug-in's dialogs: the controls a dialog shows,
// the events a front end feeds it, and the two services (the one-line prompt and the
// message box) a dialog may ask its front end for. A front end (Win32 templates, the
// Linux text front end) only draws controls and turns user input into these events;
// what each event does lives in the dialog's model.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialogs/dialog_templates.h"

inline constexpr size_t kPromptAnswerSize = 200;  // 199 characters and a terminator

// The one-line prompt a dialog or the playback path asks for.
struct PromptRequest {
  const char* prompt;  // shown as label and caption
  char* answer;        // kPromptAnswerSize bytes: the initial answer in, the typed one out
};

// Command identifiers a front end delivers besides the controls' own ids.
inline constexpr int kCommandOk = 1;      // the OK button, or Enter
inline constexpr int kCommandCancel = 2;  // Escape
inline constexpr int kCommandClose = -1;  // the window's close command

// Every text a dialog formats from a value goes through a buffer of this size.
inline constexpr size_t kDialogTextSize = 200;

// One control as the dialog currently shows it.
struct Control {
  int id = 0;
  ControlClass cls = ControlClass::Static;
  uint32_t style = 0;
  std::string text;
  bool checked = false;
  bool enabled = true;
  std::vector<std::string> lines;  // list boxes
  int selection = -1;              // list boxes: -1 none
  // The word the line-driven front end knows this control by ("" for none).
  const char* command = "";
};

// A button is a check box or a push button, told apart by its style.
inline bool IsCheck(const Control& c) {
  return c.cls == ControlClass::Button && (c.style & style::kButtonKindMask) == style::kAutoCheckBox;
}
inline bool IsPushButton(const Control& c) { return c.cls == ControlClass::Button && !IsCheck(c); }

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Question };
enum class MessageAnswer { Ok = 1, Yes = 6, No = 7 };

struct MessageBoxModel {
  std::string text;
  std::string caption;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
};

// What a running dialog may ask of the front end that shows it.
class DialogServices {
 public:
  virtual ~DialogServices() = default;
  // Runs the one-line prompt; false when it was cancelled (answer unchanged).
  virtual bool Prompt(PromptRequest& request) = 0;
  // Shows a message box and returns the button pressed. A Yes/No box that cannot
  // be answered (no input left) answers No, the choice that changes nothing.
  virtual MessageAnswer ShowMessage(const MessageBoxModel& box) = 0;
  // Runs MODEL modally: Open, the user's events until it closes, Destroy.
  virtual void RunDialog(class DialogModel& model) = 0;
};

// The common part of every dialog model: its controls, built from its template,
// and whether it has closed. Subclasses add the dialog's behaviour.
class DialogModel {
 public:
  explicit DialogModel(const DialogTemplate& tmpl);
  virtual ~DialogModel() = default;
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  const DialogTemplate& Template() const { return template_; }
  const std::string& Caption() const { return caption_; }
  std::vector<Control>& Controls() { return controls_; }
  const std::vector<Control>& Controls() const { return controls_; }
  // The first control with ID (null when there is none; several statics have no id).
  Control* Find(int id);
  const Control* Find(int id) const;
  bool Closed() const { return closed_; }

  // Events, in the order a front end delivers them: Open once, then any number of
  // commands and selection changes until Closed(), then Destroy once.
  virtual void Open() {}
  virtual void Command(int id) { (void)id; }
  virtual void SelectionChanged(int id, int index) { (void)id, (void)index; }
  virtual void Destroy() {}

 protected:
  void SetCaption(const std::string& caption) { caption_ = caption; }
  void SetText(int id, const std::string& text);
  void Close() { closed_ = true; }

 private:
  const DialogTemplate& template_;
  std::string caption_;
  std::vector<Control> controls_;
  bool closed_ = false;
};

// Formats one value into a dialog text the way the dialogs do: into a buffer of
// kDialogTextSize bytes, so a long value is cut rather than overflowing.
std::string FormatDialogText(const char* format, const char* value);
