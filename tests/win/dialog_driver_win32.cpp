#include "dialog_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace winhost {

namespace {

// How long a step waits for a dialog to appear or go: only a broken plug-in takes
// this long, and then the run must end rather than hang.
constexpr DWORD kStepWaitMs = 30000;
constexpr DWORD kPollMs = 20;
// A click is sent and waited for, so that the next step sees its effect; a click that
// opens a nested modal dialog does not return until that one closes, so the wait is
// cut short and the nested dialog is left to the following steps.
constexpr UINT kClickWaitMs = 1000;

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  std::string text(size_t(GetWindowTextLengthA(window)) + 1, '\0');
  GetWindowTextA(window, text.data(), int(text.size()));
  return text.c_str();
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

struct Search {
  std::string caption;  // "*": any
  HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  // Only the dialog a person could use: shown, and not disabled by a nested one.
  if (ClassOf(window) != "#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (search->caption != "*" && TextOf(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  const std::string cls = ClassOf(control);
  std::string line = "  " + std::to_string(GetDlgCtrlID(control)) + " " + cls + " ";
  if (cls == "ListBox") {
    line += "[";
    for (int i = 0, n = int(SendMessageA(control, LB_GETCOUNT, 0, 0)); i < n; ++i) {
      std::string item(size_t(SendMessageA(control, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, '\0');
      SendMessageA(control, LB_GETTEXT, WPARAM(i), LPARAM(item.data()));
      line += (i ? ", " : "") + Quoted(item.c_str());
    }
    line += "] sel=" + std::to_string(int(SendMessageA(control, LB_GETCURSEL, 0, 0)));
  } else {
    line += Quoted(TextOf(control));
  }
  const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
  if (cls == "Button" && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX))
    line += SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? " checked" : " unchecked";
  Print(line + (IsWindowEnabled(control) ? "" : " disabled"));
  return TRUE;
}

struct Step {
  std::string verb, arg, value;
  int id = 0;
};

// STEP in its parts; false when it is none of the steps dialog_driver.h lists.
bool Parse(const std::string& step, Step* s) {
  const size_t colon = step.find(':');
  s->verb = step.substr(0, colon);
  s->arg = colon == std::string::npos ? "" : step.substr(colon + 1);
  if (s->verb == "wait") return !s->arg.empty();
  if (s->verb == "gone" || s->verb == "dump" || s->verb == "yes" || s->verb == "no" || s->verb == "ok")
    return colon == std::string::npos;
  const bool valued = s->verb == "text" || s->verb == "select";
  const size_t eq = s->arg.find('=');
  if ((!valued && s->verb != "click" && s->verb != "get") || valued != (eq != std::string::npos)) return false;
  const std::string number = s->arg.substr(0, eq);
  char* end = nullptr;
  s->id = int(std::strtol(number.c_str(), &end, 10));
  if (valued) s->value = s->arg.substr(eq + 1);
  return !number.empty() && *end == '\0';
}

}  // namespace

bool DialogDriver::Check(const std::vector<std::string>& steps, std::string* why) {
  Step parsed;
  for (const std::string& step : steps)
    if (!Parse(step, &parsed)) return *why = "bad step '" + step + "'", false;
  return true;
}

bool DialogDriver::Start(DWORD mainThread, std::vector<std::string> steps) {
  mainThread_ = mainThread;
  steps_ = std::move(steps);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  return thread_ != nullptr;
}

bool DialogDriver::Finish(DWORD timeoutMs) {
  if (!thread_ || WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0) return !thread_;
  CloseHandle(thread_);
  thread_ = nullptr;
  return true;
}

DWORD WINAPI DialogDriver::Run(void* param) {
  auto* self = static_cast<DialogDriver*>(param);
  for (size_t i = 0; i < self->steps_.size(); ++i) {
    std::string why;
    if (self->Do(self->steps_[i], &why)) continue;
    std::fprintf(stderr, "win_host: step %u '%s' failed: %s\n", unsigned(i + 1), self->steps_[i].c_str(), why.c_str());
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return 0;
}

bool DialogDriver::Do(const std::string& step, std::string* why) {
  Step s;
  Parse(step, &s);
  const std::string& verb = s.verb;
  if (verb == "wait") {
    for (DWORD waited = 0; waited < kStepWaitMs; waited += kPollMs, Sleep(kPollMs)) {
      Search search{s.arg};
      EnumThreadWindows(mainThread_, MatchDialog, reinterpret_cast<LPARAM>(&search));
      if ((current_ = search.found)) return Print("dialog " + Quoted(TextOf(current_))), true;
    }
    return *why = "no dialog '" + s.arg + "' appeared", false;
  }
  if (!current_ || !IsWindow(current_)) return *why = "no dialog is open (a wait: step comes first)", false;
  if (verb == "gone") {
    for (DWORD waited = 0; IsWindow(current_); waited += kPollMs, Sleep(kPollMs))
      if (waited >= kStepWaitMs) return *why = "the dialog stayed open", false;
    current_ = nullptr;
    return true;
  }
  if (verb == "dump") {
    Print("dialog " + Quoted(TextOf(current_)));
    EnumChildWindows(current_, PrintControl, 0);
    return true;
  }
  const int id = verb == "yes" ? IDYES : verb == "no" ? IDNO : verb == "ok" ? IDOK : s.id;
  HWND control = GetDlgItem(current_, id);
  if (!control) return *why = "the dialog has no control " + std::to_string(id), false;
  if (verb == "get") return Print(std::to_string(id) + "=" + TextOf(control)), true;
  if (!IsWindowEnabled(control)) return *why = "control " + std::to_string(id) + " is disabled", false;
  DWORD_PTR result = 0;
  if (verb == "text") {
    SendMessageA(control, WM_SETTEXT, 0, LPARAM(s.value.c_str()));
  } else if (verb == "select") {
    if (SendMessageA(control, LB_SETCURSEL, WPARAM(std::atoi(s.value.c_str())), 0) == LB_ERR)
      return *why = "list " + std::to_string(id) + " has no line " + s.value, false;
    // LB_SETCURSEL does not notify; a click would, so the dialog is told.
    SendMessageTimeoutA(current_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), LPARAM(control), SMTO_NORMAL, kClickWaitMs, &result);
  } else {  // click, yes, no, ok
    SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, kClickWaitMs, &result);
  }
  return true;
}

}  // namespace winhost
