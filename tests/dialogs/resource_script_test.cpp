// The Windows resource script written from the template data: read back with a small
// parser of the script's own syntax, every dialog and control must come out as the
// templates hold it (ids, classes, texts with their line breaks, geometry, styles,
// caption, font); and the cross resource compiler, where installed, accepts it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/files.h"
#include "ui/dialogs/dialog_resource_script.h"
#include "ui/dialogs/dialog_templates.h"

namespace {

struct ParsedControl {
  std::string text;
  long id = 0;
  std::string cls;
  unsigned long style = 0;
  long x = 0, y = 0, width = 0, height = 0;
};

struct ParsedDialog {
  long id = 0;
  long x = 0, y = 0, width = 0, height = 0;
  std::set<std::string> style;
  std::string caption;
  long pointSize = 0;
  std::string font;
  std::vector<ParsedControl> controls;
};

// Reads the script's tokens: quoted strings (quotes doubled, C escapes), numbers,
// names and single punctuation characters; "//" comments and "#" lines are skipped.
class ScriptReader {
 public:
  explicit ScriptReader(const std::string& text) : text_(text) {}

  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }
  std::string Name() {
    SkipBlanks();
    size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
      ++pos_;
    if (pos_ == start) Fail("a name");
    return text_.substr(start, pos_ - start);
  }
  std::string PeekName() {
    size_t saved = pos_;
    std::string name = Name();
    pos_ = saved;
    return name;
  }
  unsigned long Number() {
    SkipBlanks();
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    long value = std::strtol(start, &end, 0);
    if (end == start) Fail("a number");
    pos_ += static_cast<size_t>(end - start);
    return static_cast<unsigned long>(value);
  }
  long Signed() { return static_cast<long>(Number()); }
  std::string String() {
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '"') Fail("a string");
    std::string out;
    for (++pos_; pos_ < text_.size(); ++pos_) {
      char ch = text_[pos_];
      if (ch == '\n') Fail("a string closed on its own line");
      if (ch == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          out += '"';
          ++pos_;
          continue;
        }
        ++pos_;
        return out;
      }
      if (ch == '\\' && pos_ + 1 < text_.size()) {
        char next = text_[++pos_];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        continue;
      }
      out += ch;
    }
    Fail("the end of a string");
    return out;
  }
  bool Take(char ch) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ch) {
      ++pos_;
      return true;
    }
    return false;
  }
  void Expect(char ch) {
    if (!Take(ch)) Fail(std::string("'") + ch + "'");
  }
  std::string RestOfLine() {
    size_t end = text_.find('\n', pos_);
    std::string line = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
    pos_ = end == std::string::npos ? text_.size() : end;
    return line;
  }
  const std::string& Error() const { return error_; }

 private:
  void SkipBlanks() {
    for (;;) {
      while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      bool lineStart = pos_ == 0 || text_[pos_ - 1] == '\n';
      if (text_.compare(pos_, 2, "//") == 0 || (lineStart && text_.compare(pos_, 1, "#") == 0)) {
        RestOfLine();
        continue;
      }
      return;
    }
  }
  void Fail(const std::string& wanted) {
    if (error_.empty()) error_ = "expected " + wanted + " at offset " + std::to_string(pos_);
    pos_ = text_.size();
  }

  const std::string text_;
  size_t pos_ = 0;
  std::string error_;
};

// The script's DIALOG statements by id; a statement this parser does not know fails.
std::map<long, ParsedDialog> ParseScript(const std::string& script, std::string* error) {
  std::map<long, ParsedDialog> dialogs;
  ScriptReader in(script);
  while (!in.AtEnd() && in.Error().empty()) {
    if (in.PeekName() == "LANGUAGE") {
      in.RestOfLine();
      continue;
    }
    ParsedDialog d;
    d.id = in.Signed();
    if (in.Name() != "DIALOG") break;
    d.x = in.Signed();
    in.Expect(',');
    d.y = in.Signed();
    in.Expect(',');
    d.width = in.Signed();
    in.Expect(',');
    d.height = in.Signed();
    for (std::string word = in.Name(); in.Error().empty() && word != "BEGIN"; word = in.Name()) {
      if (word == "STYLE") {
        do d.style.insert(in.Name());
        while (in.Take('|'));
      } else if (word == "CAPTION") {
        d.caption = in.String();
      } else if (word == "FONT") {
        d.pointSize = in.Signed();
        in.Expect(',');
        d.font = in.String();
      } else {
        *error = "unknown statement " + word;
        return {};
      }
    }
    for (std::string word = in.Name(); in.Error().empty() && word != "END"; word = in.Name()) {
      if (word != "CONTROL") {
        *error = "unknown control statement " + word;
        return {};
      }
      ParsedControl c;
      c.text = in.String();
      in.Expect(',');
      c.id = in.Signed();
      in.Expect(',');
      c.cls = in.String();
      in.Expect(',');
      c.style = in.Number();
      in.Expect(',');
      c.x = in.Signed();
      in.Expect(',');
      c.y = in.Signed();
      in.Expect(',');
      c.width = in.Signed();
      in.Expect(',');
      c.height = in.Signed();
      d.controls.push_back(c);
    }
    if (dialogs.count(d.id)) {
      *error = "dialog " + std::to_string(d.id) + " written twice";
      return {};
    }
    dialogs[d.id] = d;
  }
  if (!in.Error().empty()) *error = in.Error();
  return dialogs;
}

constexpr unsigned long kChildVisible = 0x50000000;  // WS_CHILD | WS_VISIBLE

const char* ExpectedClass(ControlClass cls) {
  switch (cls) {
    case ControlClass::Static: return "Static";
    case ControlClass::Edit: return "Edit";
    case ControlClass::Button: return "Button";
    case ControlClass::ListBox: return "ListBox";
  }
  return "?";
}

void ExpectDialogMatches(const ParsedDialog& parsed, const DialogTemplate& t) {
  SCOPED_TRACE("dialog " + std::to_string(t.id));
  EXPECT_EQ(parsed.x, 0);
  EXPECT_EQ(parsed.y, 0);
  EXPECT_EQ(parsed.width, t.width);
  EXPECT_EQ(parsed.height, t.height);
  EXPECT_EQ(parsed.caption, t.caption);
  EXPECT_EQ(parsed.pointSize, 8);
  EXPECT_EQ(parsed.font, "MS Sans Serif");
  for (const char* bit : {"DS_MODALFRAME", "WS_POPUP", "WS_CAPTION", "WS_SYSMENU"})
    EXPECT_EQ(parsed.style.count(bit), 1u) << bit;
  EXPECT_EQ(parsed.style.count("DS_CENTER"), t.centred ? 1u : 0u);
  ASSERT_EQ(parsed.controls.size(), t.controlCount);
  for (size_t i = 0; i < t.controlCount; ++i) {
    const ControlTemplate& want = t.controls[i];
    const ParsedControl& got = parsed.controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.cls, ExpectedClass(want.cls));
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.style, want.style | kChildVisible);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
  }
}

TEST(DialogResourceScript, ReadsBackAsTheThreeTemplates) {
  std::string error;
  const std::map<long, ParsedDialog> dialogs = ParseScript(DialogResourceScript(), &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(dialogs.size(), 3u);
  ASSERT_EQ(dialogs.count(101), 1u);
  ASSERT_EQ(dialogs.count(102), 1u);
  ASSERT_EQ(dialogs.count(104), 1u);
  ExpectDialogMatches(dialogs.at(101), kInfoTemplate);
  ExpectDialogMatches(dialogs.at(102), kConfigTemplate);
  ExpectDialogMatches(dialogs.at(104), kPromptTemplate);
}

TEST(DialogResourceScript, WritesLineBreaksAndQuotesAsEscapes) {
  const std::string script = DialogResourceScript();
  // The three-line label of the configuration dialog stays on one script line.
  EXPECT_NE(script.find("\"Way to display titles in Winamp.\\n%tagname%\\n(eg %title% (%artist%))\""),
            std::string::npos);
  EXPECT_NE(script.find("FONT 8, \"MS Sans Serif\"\n"), std::string::npos);
  EXPECT_NE(script.find("#include <windows.h>\n"), std::string::npos);
  // Controls the code never addresses carry the resource compiler's "no id".
  EXPECT_NE(script.find("\"Tags:\", -1, \"Static\""), std::string::npos);

  EXPECT_EQ(ResourceString("say \"hi\"\\now\nthen"), "\"say \"\"hi\"\"\\\\now\\nthen\"");
  ScriptReader back(ResourceString("say \"hi\"\\now\nthen\tend"));
  EXPECT_EQ(back.String(), "say \"hi\"\\now\nthen\tend");
  EXPECT_EQ(back.Error(), "");
}

TEST(DialogResourceScript, TheCrossResourceCompilerAcceptsIt) {
  const char* windres = "i686-w64-mingw32-windres";
  if (std::system((std::string("command -v ") + windres + " >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << windres << " is not installed";
  zsftest::TempDir dir;
  const std::string rc = dir.file("dialogs.rc");
  const std::string errors = dir.file("errors.txt");
  zsftest::WriteFile(rc, DialogResourceScript());
  const std::string command =
      std::string(windres) + " '" + rc + "' -O coff -o '" + dir.file("dialogs.o") + "' 2>'" + errors + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << [&] {
    std::vector<uint8_t> text = zsftest::ReadFile(errors);
    return std::string(text.begin(), text.end());
  }();
  EXPECT_TRUE(zsftest::FileExists(dir.file("dialogs.o")));
}

}  // namespace
