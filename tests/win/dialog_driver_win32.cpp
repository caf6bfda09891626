#include "dialog_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "window_shot.h"

namespace winhost {

namespace {

// How long a step waits for a dialog to appear or go: only a broken plug-in takes
// this long, and then the run must end rather than hang.
constexpr DWORD kStepWaitMs = 30000;
constexpr DWORD kPollMs = 20;
// A click is sent and waited for, so that the next step sees its effect; a click
// that opens a nested modal dialog does not return until that one closes, so the
// wait is cut short and the nested dialog is left to the following steps.
constexpr UINT kClickWaitMs = 1000;
// Lets the window system put freshly painted pixels on the screen before a picture.
constexpr DWORD kPaintSettleMs = 300;

constexpr int kIdYes = IDYES;
constexpr int kIdNo = IDNO;
constexpr int kIdOk = IDOK;

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(size_t(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  text.resize(std::strlen(text.c_str()));
  return text;
}

struct Search {
  std::string caption;  // "*": any
  HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  // Only the dialog a person could use: shown, and not disabled by a nested one.
  if (ClassOf(window) != "#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window)) {
    return TRUE;
  }
  if (search->caption != "*" && TextOf(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindDialog(DWORD thread, const std::string& caption) {
  Search search{caption};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// "ID=VALUE" into its parts; false when ID is not a number.
bool SplitAssignment(const std::string& text, int* id, std::string* value) {
  size_t eq = text.find('=');
  std::string number = text.substr(0, eq);
  if (number.empty()) return false;
  char* end = nullptr;
  long parsed = std::strtol(number.c_str(), &end, 10);
  if (*end != '\0') return false;
  *id = int(parsed);
  if (value) *value = eq == std::string::npos ? "" : text.substr(eq + 1);
  return eq != std::string::npos || !value;
}

bool ParseId(const std::string& text, int* id) { return SplitAssignment(text, id, nullptr); }

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"' || c == '\\') out += std::string("\\") + c;
    else out += c;
  }
  return out + "\"";
}

std::string DescribeControl(HWND control) {
  std::string cls = ClassOf(control);
  std::string line = std::to_string(GetDlgCtrlID(control)) + " " + cls + " ";
  if (cls == "ListBox") {
    int count = int(SendMessageA(control, LB_GETCOUNT, 0, 0));
    line += "[";
    for (int i = 0; i < count; ++i) {
      int length = int(SendMessageA(control, LB_GETTEXTLEN, WPARAM(i), 0));
      std::string item(size_t(length > 0 ? length : 0) + 1, '\0');
      SendMessageA(control, LB_GETTEXT, WPARAM(i), LPARAM(item.data()));
      item.resize(std::strlen(item.c_str()));
      line += (i ? ", " : "") + Quoted(item);
    }
    line += "] sel=" + std::to_string(int(SendMessageA(control, LB_GETCURSEL, 0, 0)));
  } else {
    line += Quoted(TextOf(control));
  }
  if (cls == "Button") {
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
      line += SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? " checked" : " unchecked";
    }
  }
  if (!IsWindowEnabled(control)) line += " disabled";
  return line;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  Print("  " + DescribeControl(control));
  return TRUE;
}

}  // namespace

bool DialogDriver::Check(const std::vector<std::string>& steps, std::string* why) {
  for (const std::string& step : steps) {
    size_t colon = step.find(':');
    std::string verb = step.substr(0, colon);
    std::string arg = colon == std::string::npos ? "" : step.substr(colon + 1);
    int id = 0;
    std::string value;
    bool good = false;
    if (verb == "wait" || verb == "shot") good = colon != std::string::npos && !arg.empty();
    else if (verb == "gone" || verb == "dump" || verb == "yes" || verb == "no" || verb == "ok")
      good = colon == std::string::npos;
    else if (verb == "click" || verb == "get") good = ParseId(arg, &id);
    else if (verb == "text" || verb == "select") good = SplitAssignment(arg, &id, &value);
    if (!good) {
      *why = "bad step '" + step + "'";
      return false;
    }
  }
  return true;
}

bool DialogDriver::Start(DWORD mainThread, std::vector<std::string> steps, std::string shotsDir) {
  mainThread_ = mainThread;
  steps_ = std::move(steps);
  shotsDir_ = std::move(shotsDir);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  return thread_ != nullptr;
}

bool DialogDriver::Finish(DWORD timeoutMs) {
  if (!thread_) return true;
  bool done = WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
  if (done) {
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return done;
}

DWORD WINAPI DialogDriver::Run(void* self) {
  static_cast<DialogDriver*>(self)->Work();
  return 0;
}

void DialogDriver::Work() {
  for (size_t i = 0; i < steps_.size(); ++i) {
    std::string why;
    if (!Do(steps_[i], &why)) {
      std::fprintf(stderr, "win_host: step %u '%s' failed: %s\n", unsigned(i + 1),
                   steps_[i].c_str(), why.c_str());
      std::fflush(stderr);
      std::fflush(stdout);
      TerminateProcess(GetCurrentProcess(), 3);
    }
  }
}

bool DialogDriver::Do(const std::string& step, std::string* why) {
  size_t colon = step.find(':');
  std::string verb = step.substr(0, colon);
  std::string arg = colon == std::string::npos ? "" : step.substr(colon + 1);

  if (verb == "wait") {
    for (DWORD waited = 0;; waited += kPollMs) {
      if (HWND found = FindDialog(mainThread_, arg)) {
        current_ = found;
        Print("dialog " + Quoted(TextOf(found)));
        return true;
      }
      if (waited >= kStepWaitMs) {
        *why = "no dialog '" + arg + "' appeared";
        return false;
      }
      Sleep(kPollMs);
    }
  }
  if (!current_ || !IsWindow(current_)) {
    *why = "no dialog is open (a wait: step comes first)";
    return false;
  }
  if (verb == "gone") {
    for (DWORD waited = 0; IsWindow(current_); waited += kPollMs) {
      if (waited >= kStepWaitMs) {
        *why = "the dialog stayed open";
        return false;
      }
      Sleep(kPollMs);
    }
    current_ = nullptr;
    return true;
  }
  if (verb == "dump") {
    Print("dialog " + Quoted(TextOf(current_)));
    EnumChildWindows(current_, PrintControl, 0);
    return true;
  }
  if (verb == "shot") {
    RedrawWindow(current_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(kPaintSettleMs);
    std::string path = shotsDir_ + "\\" + arg + ".bmp";
    if (!SaveWindowShot(current_, path, why)) return false;
    Print("shot " + path);
    return true;
  }

  int id = 0;
  std::string value;
  if (verb == "yes") id = kIdYes;
  else if (verb == "no") id = kIdNo;
  else if (verb == "ok") id = kIdOk;
  else if (verb == "text" || verb == "select") SplitAssignment(arg, &id, &value);
  else ParseId(arg, &id);
  HWND control = GetDlgItem(current_, id);
  if (!control) {
    *why = "the dialog has no control " + std::to_string(id);
    return false;
  }
  if (verb == "get") {
    Print(std::to_string(id) + "=" + TextOf(control));
    return true;
  }
  if (!IsWindowEnabled(control)) {
    *why = "control " + std::to_string(id) + " is disabled";
    return false;
  }
  if (verb == "text") {
    SendMessageA(control, WM_SETTEXT, 0, LPARAM(value.c_str()));
    return true;
  }
  if (verb == "select") {
    int line = std::atoi(value.c_str());
    if (SendMessageA(control, LB_SETCURSEL, WPARAM(line), 0) == LB_ERR) {
      *why = "list " + std::to_string(id) + " has no line " + value;
      return false;
    }
    // LB_SETCURSEL does not notify; a click would, so the dialog is told.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(current_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), LPARAM(control),
                        SMTO_NORMAL, kClickWaitMs, &result);
    return true;
  }
  // click, yes, no, ok
  DWORD_PTR result = 0;
  SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, kClickWaitMs, &result);
  return true;
}

}  // namespace winhost
