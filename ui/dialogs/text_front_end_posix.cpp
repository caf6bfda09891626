#include "ui/dialogs/text_front_end.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/terminal.h"
#include "ui/dialogs/prompt_model.h"

namespace {

constexpr int kScreenWidth = 80;
constexpr int kInnerWidth = kScreenWidth - 4;  // "| " and " |"
constexpr int kUnitsPerRow = 8;                // dialog units of one text row

bool Focusable(const Control& c) { return c.cls != ControlClass::Static && c.enabled; }

// Text cut to WIDTH columns; a caption too long keeps its end, where a file's name is.
std::string Fit(const std::string& text, int width, bool keepEnd = false) {
  if (width <= 0) return "";
  if (static_cast<int>(text.size()) <= width) return text;
  if (keepEnd && width > 3) return "..." + text.substr(text.size() - (width - 3));
  return text.substr(0, width);
}

// Control characters are shown as "?" so a tag value cannot move the cursor.
std::string Printable(const std::string& text) {
  std::string s = text;
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
  return s;
}

class Canvas {
 public:
  explicit Canvas(int rows) : lines_(rows, std::string(kInnerWidth, ' ')) {}
  void Put(int row, int col, const std::string& text, int width) {
    if (row < 0 || row >= static_cast<int>(lines_.size()) || col < 0 || col >= kInnerWidth) return;
    std::string s = Fit(Printable(text), std::min(width, kInnerWidth - col));
    lines_[row].replace(col, s.size(), s);
  }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

std::vector<std::string> Wrap(const std::string& text, int width) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (static_cast<int>(line.size()) > width && width > 0) {
      size_t cut = line.rfind(' ', width);
      if (cut == std::string::npos || cut == 0) cut = width;
      out.push_back(line.substr(0, cut));
      line.erase(0, cut == static_cast<size_t>(width) ? cut : cut + 1);
    }
    out.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

std::string Frame(const std::string& caption, const std::vector<std::string>& body) {
  std::string top = "+-- " + Fit(Printable(caption), kScreenWidth - 10, true) + " ";
  top += std::string(kScreenWidth - 1 - top.size(), '-') + "+";
  std::string s = top + "\n";
  // The template's empty bottom margin is kept to one row.
  size_t used = body.size();
  while (used > 1 && body[used - 1].find_first_not_of(' ') == std::string::npos &&
         body[used - 2].find_first_not_of(' ') == std::string::npos)
    --used;
  for (size_t i = 0; i < used; ++i) {
    const std::string& line = body[i];
    std::string l = line;
    while (!l.empty() && l.back() == ' ') l.pop_back();
    l.resize(kInnerWidth, ' ');
    s += "| " + l + " |\n";
  }
  s += "+" + std::string(kScreenWidth - 2, '-') + "+\n";
  return s;
}

enum class Key { None, End, Tab, BackTab, Up, Down, Enter, Space, Escape, Backspace, Char };

// Reads keys from a terminal. A byte read while looking for an escape sequence that
// turns out not to belong to one is kept for the next key, so Escape followed
// quickly by another key loses neither.
class KeyReader {
 public:
  explicit KeyReader(int fd) : fd_(fd) {}

  Key Read(char* ch) {
    int c = Next(-1);
    if (c < 0 || c == 0x04) return Key::End;
    *ch = static_cast<char>(c);
    switch (c) {
      case '\t': return Key::Tab;
      case '\r': case '\n': return Key::Enter;
      case ' ': return Key::Space;
      case 0x7f: case 0x08: return Key::Backspace;
      case 0x1b: {
        int intro = Next(50);
        if (intro != '[' && intro != 'O') {
          pending_ = intro;
          return Key::Escape;
        }
        int final = Next(50);
        if (final == 'A') return Key::Up;
        if (final == 'B') return Key::Down;
        if (final == 'Z') return Key::BackTab;
        return Key::None;
      }
      default: return c >= 0x20 ? Key::Char : Key::None;
    }
  }

 private:
  // The next byte; -1 at the end of input, or when TIMEOUT_MS (>= 0) passes first.
  int Next(int timeoutMs) {
    if (pending_ >= 0) {
      int c = pending_;
      pending_ = -1;
      return c;
    }
    return ReadByte(fd_, timeoutMs);
  }

  int fd_;
  int pending_ = -1;
};

}  // namespace

std::string RenderDialog(const DialogModel& model, int focus) {
  const DialogTemplate& t = model.Template();
  const int rows = t.height / kUnitsPerRow + 1;
  Canvas canvas(rows);
  const std::vector<Control>& controls = model.Controls();
  for (size_t i = 0; i < controls.size() && i < t.controlCount; ++i) {
    const Control& c = controls[i];
    const ControlTemplate& geo = t.controls[i];
    int row = geo.y / kUnitsPerRow;
    int col = 1 + geo.x * (kInnerWidth - 1) / t.width;
    int width = std::max(6, geo.width * (kInnerWidth - 1) / t.width);
    int height = std::max(1, geo.height / kUnitsPerRow);
    if (static_cast<int>(i) == focus) canvas.Put(row, col - 1, ">", 1);
    switch (c.cls) {
      case ControlClass::Static: {
        std::vector<std::string> lines = Wrap(c.text, width);
        for (int k = 0; k < height && k < static_cast<int>(lines.size()); ++k) {
          std::string line = lines[k];
          if (c.style & style::kCentre) line = std::string((width - static_cast<int>(std::min<size_t>(line.size(), width))) / 2, ' ') + line;
          canvas.Put(row + k, col, line, width);
        }
        break;
      }
      case ControlClass::Edit: {
        int inner = width - 2;
        // Scrolled sideways like the edit control: the end of a long text shows.
        std::string shown = Fit(c.text, inner, false);
        if (static_cast<int>(c.text.size()) > inner) shown = c.text.substr(c.text.size() - inner);
        shown.resize(inner, '_');
        canvas.Put(row, col, "[" + shown + "]", width);
        break;
      }
      case ControlClass::Button:
        if (IsCheck(c)) {
          std::string box = c.checked ? "[x] " : "[ ] ";
          canvas.Put(row, col, box + (c.enabled ? c.text : "(" + c.text + ")"), width + 6);
        } else {
          canvas.Put(row, col, c.enabled ? "< " + c.text + " >" : "( " + c.text + " )", width + 4);
        }
        break;
      case ControlClass::ListBox: {
        int count = static_cast<int>(c.lines.size());
        int first = 0;
        if (c.selection >= height) first = c.selection - height + 1;
        for (int k = 0; k < height && first + k < count; ++k) {
          int index = first + k;
          char number[16];
          std::snprintf(number, sizeof number, "%c%3d ", index == c.selection ? '>' : ' ', index + 1);
          canvas.Put(row + k, col, number + c.lines[index], width);
        }
        if (count == 0) canvas.Put(row, col, "  (empty)", width);
        break;
      }
    }
  }
  return Frame(model.Caption(), canvas.Lines());
}

std::string RenderMessageBox(const MessageBoxModel& box) {
  std::vector<std::string> body;
  body.push_back("");
  const char* mark = box.icon == MessageIcon::Question ? "(?) " : box.icon == MessageIcon::Information ? "(i) " : "";
  for (const std::string& line : Wrap(Printable(box.text), kInnerWidth - 6)) body.push_back(std::string("  ") + mark + line), mark = "    ";
  body.push_back("");
  std::string buttons = box.buttons == MessageButtons::YesNo ? "< Yes >   < No >" : "< OK >";
  body.push_back(std::string((kInnerWidth - buttons.size()) / 2, ' ') + buttons);
  return Frame(box.caption, body);
}

TextFrontEnd::TextFrontEnd(FILE* in, FILE* out, bool terminal) : in_(in), out_(out), terminal_(terminal) {}

TextFrontEnd& TextFrontEnd::Standard() {
  static TextFrontEnd standard(stdin, stdout, IsTerminal(STDIN_FILENO));
  return standard;
}

void TextFrontEnd::Show(const std::string& text) {
  if (terminal_) std::fputs("\x1b[H\x1b[J", out_);
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
}

bool TextFrontEnd::ReadLine(std::string* line) {
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t n = getline(&buffer, &capacity, in_);
  if (n < 0) {
    std::free(buffer);
    return false;
  }
  line->assign(buffer, n);
  std::free(buffer);
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
  return true;
}

bool TextFrontEnd::Prompt(PromptRequest& request) {
  PromptModel model(request);
  model.Open();
  bool answered;
  if (terminal_) {
    answered = DriveByKeys(model);
  } else {
    Show(RenderDialog(model));
    std::string line;
    answered = ReadLine(&line);
    if (answered) {
      model.Find(kPromptEdit)->text = line;
      model.Command(kCommandOk);
    }
  }
  // A cancelled prompt leaves the caller's answer as it was.
  model.Destroy();
  if (!answered) {
    std::fputs("(cancelled)\n", out_);
    std::fflush(out_);
  }
  return answered;
}

MessageAnswer TextFrontEnd::ShowMessage(const MessageBoxModel& box) {
  Show(RenderMessageBox(box));
  if (terminal_) {
    RawTerminal raw(fileno(in_), true);
    KeyReader keys(fileno(in_));
    for (;;) {
      char ch = 0;
      Key key = keys.Read(&ch);
      if (key == Key::End) return box.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
      if (box.buttons == MessageButtons::Ok) {
        if (key == Key::Enter || key == Key::Space) return MessageAnswer::Ok;
        continue;
      }
      if (key == Key::Char && (ch == 'y' || ch == 'Y')) return MessageAnswer::Yes;
      if (key == Key::Char && (ch == 'n' || ch == 'N')) return MessageAnswer::No;
    }
  }
  // An OK box needs no answer: it never takes a line meant for what follows.
  if (box.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  std::string line;
  while (ReadLine(&line)) {
    std::string word;
    for (char ch : line)
      if (!std::isspace(static_cast<unsigned char>(ch))) word += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (word == "yes" || word == "y") return MessageAnswer::Yes;
    if (word == "no" || word == "n") return MessageAnswer::No;
    std::fprintf(out_, "answer yes or no\n");
    std::fflush(out_);
  }
  return MessageAnswer::No;
}

void TextFrontEnd::RunDialog(DialogModel& model) {
  model.Open();
  bool more = terminal_ ? DriveByKeys(model) : DriveByLines(model);
  // At the end of the input the dialog closes as if OK were pressed.
  if (!more && !model.Closed()) model.Command(kCommandOk);
  model.Destroy();
}

bool TextFrontEnd::DriveByLines(DialogModel& model) {
  Show(RenderDialog(model));
  std::string line;
  while (!model.Closed()) {
    if (!ReadLine(&line)) return false;
    size_t space = line.find(' ');
    std::string word = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    std::string note;
    Control* target = nullptr;
    for (Control& c : model.Controls())
      if (!word.empty() && word == c.command) target = &c;
    if (word == "escape") {
      model.Command(kCommandCancel);
    } else if (word == "close") {
      model.Command(kCommandClose);
    } else if (!target) {
      note = "unknown command: " + line;
    } else if (!target->enabled) {
      note = "ignored: \"" + target->text + "\" is disabled";
    } else if (target->cls == ControlClass::Edit) {
      target->text = rest;
    } else if (IsCheck(*target)) {
      if (rest == "on" || rest == "off") target->checked = rest == "on";
      else note = "use: " + word + " on|off";
    } else if (target->cls == ControlClass::ListBox) {
      char* end = nullptr;
      long n = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0' || n < 1 || n > static_cast<long>(target->lines.size()))
        note = "no line " + rest;
      else
        model.SelectionChanged(target->id, static_cast<int>(n - 1));
    } else if (IsPushButton(*target)) {
      model.Command(target->id);
    }
    if (!note.empty()) {
      std::fprintf(out_, "%s\n", note.c_str());
      std::fflush(out_);
    } else if (!model.Closed()) {
      Show(RenderDialog(model));
    }
  }
  return true;
}

bool TextFrontEnd::DriveByKeys(DialogModel& model) {
  const int fd = fileno(in_);
  std::vector<Control>& controls = model.Controls();
  auto next = [&](int from, int step) {
    int n = static_cast<int>(controls.size());
    for (int k = 1; k <= n; ++k) {
      int i = ((from + step * k) % n + n) % n;
      if (Focusable(controls[i])) return i;
    }
    return from;
  };
  int focus = next(-1, 1);
  for (int i = 0; i < static_cast<int>(controls.size()); ++i)
    if (controls[i].cls == ControlClass::Edit && controls[i].enabled) {
      focus = i;
      break;
    }
  // One raw mode for the whole dialog: switching modes between keys could lose keys
  // typed ahead. A prompt opened from here saves and restores this same raw mode.
  RawTerminal raw(fd, true);
  KeyReader keys(fd);
  while (!model.Closed()) {
    Show(RenderDialog(model, focus) +
         "Tab/arrows move, Space ticks or presses, Enter presses (OK), Ctrl-D ends\n");
    char ch = 0;
    Key key = keys.Read(&ch);
    if (focus < 0 || focus >= static_cast<int>(controls.size())) focus = next(-1, 1);
    Control& c = controls[focus];
    switch (key) {
      case Key::End: return false;
      case Key::Tab: focus = next(focus, 1); break;
      case Key::BackTab: focus = next(focus, -1); break;
      case Key::Up:
      case Key::Down:
        if (c.cls == ControlClass::ListBox && !c.lines.empty()) {
          int sel = c.selection + (key == Key::Down ? 1 : -1);
          if (c.selection < 0) sel = 0;
          sel = std::clamp(sel, 0, static_cast<int>(c.lines.size()) - 1);
          model.SelectionChanged(c.id, sel);
        } else {
          focus = next(focus, key == Key::Down ? 1 : -1);
        }
        break;
      case Key::Escape: model.Command(kCommandCancel); break;
      case Key::Enter:
        model.Command(IsPushButton(c) && c.enabled ? c.id : kCommandOk);
        break;
      case Key::Space:
        if (c.cls == ControlClass::Edit) c.text += ' ';
        else if (IsCheck(c) && c.enabled) c.checked = !c.checked;
        else if (IsPushButton(c) && c.enabled) model.Command(c.id);
        break;
      case Key::Backspace:
        if (c.cls == ControlClass::Edit && !c.text.empty()) c.text.pop_back();
        break;
      case Key::Char:
        if (c.cls == ControlClass::Edit) c.text += ch;
        break;
      case Key::None: break;
    }
  }
  std::fputs("\n", out_);
  return true;
}
