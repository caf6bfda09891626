// The Windows front end of the dialogs: each model runs in a real modal dialog made
// from the plug-in's own resource template, and message boxes are the system's.
// The window only shows the model: before an event reaches the model, what the user
// changed (edit texts, ticks, the list's selection) is copied into it; after the
// event the model is copied back into the window, and the dialog ends once the model
// has closed. Texts are ANSI throughout.
#include "ui/dialogs/dialog_front_end.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/module_handle.h"
#include "ui/dialogs/prompt_model.h"

namespace {

// The windows of the dialogs open right now, innermost last, each with the thread
// that runs it: a prompt or question asked from a dialog is owned by that dialog,
// so the user cannot go back to it while it waits for the answer.
class OpenDialogs {
 public:
  void Push(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.emplace_back(GetCurrentThreadId(), window);
  }
  void Remove(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = windows_.end(); it != windows_.begin();) {
      --it;
      if (it->second == window) {
        windows_.erase(it);
        return;
      }
    }
  }
  // The innermost dialog of the calling thread; null when it has none open.
  HWND Innermost() {
    std::lock_guard<std::mutex> lock(mutex_);
    const DWORD thread = GetCurrentThreadId();
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      if (it->first == thread) return it->second;
    return nullptr;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<DWORD, HWND>> windows_;
};

OpenDialogs& Open() {
  static OpenDialogs open;
  return open;
}

// One modal run of a model, attached to its dialog window.
struct DialogRun {
  DialogModel* model = nullptr;
  HWND window = nullptr;
  bool opened = false;
  bool destroyed = false;
  // Set while the model is being copied into the window: the notifications that
  // causes (an edit's change) must not copy the half-updated window back.
  bool showing = false;
  // Set while the model handles an event, which may run a nested prompt or question.
  bool delivering = false;
  // The window went while an event was being handled: the model finishes after it.
  bool destroyPending = false;
  // The lines each list box holds, as last written.
  std::map<int, std::vector<std::string>> listLines;
};

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  if (length <= 0) return "";
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// What the user changed in the window, into the model.
void ReadWindow(DialogRun& run) {
  for (Control& c : run.model->Controls()) {
    if (c.id == kNoId) continue;
    HWND item = GetDlgItem(run.window, c.id);
    if (!item) continue;
    if (c.cls == ControlClass::Edit) {
      c.text = WindowText(item);
    } else if (IsCheck(c)) {
      c.checked = SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
    } else if (c.cls == ControlClass::ListBox) {
      LRESULT selection = SendMessageA(item, LB_GETCURSEL, 0, 0);
      c.selection = selection == LB_ERR ? -1 : static_cast<int>(selection);
    }
  }
}

// Brings a list box from the lines it holds to WANTED, touching only the lines that
// differ, so adding or removing one tag keeps the list where the user scrolled it.
void ShowLines(HWND list, std::vector<std::string>& shown, const std::vector<std::string>& wanted) {
  if (shown == wanted) return;
  size_t head = 0;
  while (head < shown.size() && head < wanted.size() && shown[head] == wanted[head]) ++head;
  size_t tail = 0;
  while (tail < shown.size() - head && tail < wanted.size() - head &&
         shown[shown.size() - 1 - tail] == wanted[wanted.size() - 1 - tail])
    ++tail;
  for (size_t i = shown.size() - tail; i > head; --i) SendMessageA(list, LB_DELETESTRING, i - 1, 0);
  for (size_t i = head; i < wanted.size() - tail; ++i)
    SendMessageA(list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(wanted[i].c_str()));
  shown = wanted;
}

// The model, into the window: caption, texts, ticks, enabled states, list lines and
// selection. Only what differs is written, so an edit keeps its caret.
void ShowModel(DialogRun& run) {
  run.showing = true;
  DialogModel& model = *run.model;
  if (WindowText(run.window) != model.Caption()) SetWindowTextA(run.window, model.Caption().c_str());
  for (const Control& c : model.Controls()) {
    if (c.id == kNoId) continue;
    HWND item = GetDlgItem(run.window, c.id);
    if (!item) continue;
    if (c.cls == ControlClass::ListBox) {
      ShowLines(item, run.listLines[c.id], c.lines);
      LRESULT selection = SendMessageA(item, LB_GETCURSEL, 0, 0);
      int shown = selection == LB_ERR ? -1 : static_cast<int>(selection);
      if (shown != c.selection) SendMessageA(item, LB_SETCURSEL, static_cast<WPARAM>(c.selection), 0);
    } else if (WindowText(item) != c.text) {
      SetWindowTextA(item, c.text.c_str());
    }
    if (IsCheck(c)) {
      bool shownChecked = SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (shownChecked != c.checked) SendMessageA(item, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if ((IsWindowEnabled(item) != FALSE) != c.enabled) EnableWindow(item, c.enabled ? TRUE : FALSE);
  }
  run.showing = false;
}

// After every event: the model's state shows, and a closed model ends the dialog.
void AfterEvent(DialogRun& run) {
  ShowModel(run);
  if (run.model->Closed()) EndDialog(run.window, IDOK);
}

void Destroyed(DialogRun& run) {
  if (run.destroyed) return;
  Open().Remove(run.window);
  // A model in the middle of an event keeps its state until the event is done.
  if (run.delivering) {
    run.destroyPending = true;
    return;
  }
  run.destroyed = true;
  // The information dialog writes its tags back here.
  run.model->Destroy();
}

// Delivers one event: what the user changed into the model, the event, then the
// model back into the window. An event that arrives while another is still being
// handled (a message sent to the dialog while its prompt or question is open) is
// dropped, since the model is half-way through the first.
template <typename Event>
void Deliver(DialogRun& run, Event event) {
  if (run.delivering || run.destroyed || run.destroyPending || run.model->Closed()) return;
  run.delivering = true;
  ReadWindow(run);
  event();
  run.delivering = false;
  if (run.destroyPending) {
    Destroyed(run);
    return;
  }
  AfterEvent(run);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<DialogRun*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    run->window = window;
    run->opened = true;
    Open().Push(window);
    run->model->Open();
    ShowModel(*run);
    if (run->model->Closed()) {
      EndDialog(window, IDOK);
      return TRUE;
    }
    // The first edit field takes the typing (the prompt's answer, the title template).
    for (const Control& c : run->model->Controls()) {
      HWND item = c.cls == ControlClass::Edit && c.enabled ? GetDlgItem(window, c.id) : nullptr;
      if (item) {
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
        return FALSE;
      }
    }
    return TRUE;
  }
  auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!run) return FALSE;
  DialogModel& model = *run->model;
  switch (message) {
    case WM_COMMAND: {
      if (run->showing) return TRUE;
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (id == IDOK || id == IDCANCEL) {
        // Enter and the OK button come as IDOK; Escape as IDCANCEL.
        Deliver(*run, [&] { model.Command(id == IDOK ? kCommandOk : kCommandCancel); });
        return TRUE;
      }
      const Control* c = model.Find(id);
      if (!c) return FALSE;
      if (c->cls == ControlClass::ListBox && code == LBN_SELCHANGE) {
        Deliver(*run, [&] {
          LRESULT index = SendMessageA(reinterpret_cast<HWND>(lparam), LB_GETCURSEL, 0, 0);
          if (index != LB_ERR) model.SelectionChanged(id, static_cast<int>(index));
        });
        return TRUE;
      }
      if (IsPushButton(*c) && code == BN_CLICKED) {
        Deliver(*run, [&] { model.Command(id); });
        return TRUE;
      }
      // Typing and ticking change only the window; the model reads them at the
      // next event.
      return FALSE;
    }
    case WM_CLOSE:
      Deliver(*run, [&] { model.Command(kCommandClose); });
      return TRUE;
    case WM_DESTROY:
      Destroyed(*run);
      return FALSE;
    default:
      return FALSE;
  }
}

// The owner a new dialog or box gets: the thread's innermost open dialog, else the
// host's window, or none when the host passed something that is not a window.
HWND OwnerFor(HWND parent) {
  if (HWND innermost = Open().Innermost()) return innermost;
  return parent && IsWindow(parent) ? parent : nullptr;
}

class Win32FrontEnd : public DialogServices {
 public:
  explicit Win32FrontEnd(HWND parent) : parent_(parent) {}

  bool Prompt(PromptRequest& request) override {
    if (!request.answer) return false;
    PromptModel model(request);
    return Run(model) && model.Closed();
  }

  MessageAnswer ShowMessage(const MessageBoxModel& box) override {
    UINT flags = box.buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    if (box.icon == MessageIcon::Question) flags |= MB_ICONQUESTION;
    if (box.icon == MessageIcon::Information) flags |= MB_ICONINFORMATION;
    int answer = MessageBoxA(OwnerFor(parent_), box.text.c_str(), box.caption.c_str(), flags);
    if (answer == IDYES) return MessageAnswer::Yes;
    if (answer == IDOK) return MessageAnswer::Ok;
    // No, or a box that could not be shown: the answer that changes nothing.
    return box.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  }

  void RunDialog(DialogModel& model) override { Run(model); }

 private:
  // Runs MODEL in its template's dialog; false when the dialog could not be made.
  bool Run(DialogModel& model) {
    DialogRun run;
    run.model = &model;
    HWND owner = OwnerFor(parent_);
    auto module = static_cast<HINSTANCE>(CurrentModuleHandle());
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(model.Template().id), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(&run));
    if (!run.opened) {
      ReportMissingDialog(owner, model.Template().id, result == -1 ? GetLastError() : ERROR_INVALID_HANDLE);
      return false;
    }
    // A dialog whose window went without its WM_DESTROY still lets its model finish.
    Destroyed(run);
    return true;
  }

  // The one failure the user can meet here: the plug-in's resources cannot be found
  // or a window cannot be made. Said once, plainly, instead of nothing happening.
  static void ReportMissingDialog(HWND owner, int id, DWORD error) {
    char reason[256] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                             sizeof reason, nullptr);
    while (n > 0 && std::strchr("\r\n .", reason[n - 1])) reason[--n] = '\0';
    char text[512];
    std::snprintf(text, sizeof text,
                  "The plug-in could not open its dialog %d (Windows error %lu%s%s).\n"
                  "Its resources may be missing: reinstall in_zsf.dll.",
                  id, static_cast<unsigned long>(error), n > 0 ? ": " : "", reason);
    MessageBoxA(owner, text, "INZSF", MB_OK | MB_ICONERROR);
  }

  HWND parent_;
};

}  // namespace

DialogServices& DialogFrontEnd(void* parent) {
  // One front end per host window, kept for the process's life: the reference the
  // caller holds must outlive any nested dialog it runs.
  static std::mutex mutex;
  static std::map<HWND, std::unique_ptr<Win32FrontEnd>> frontEnds;
  std::lock_guard<std::mutex> lock(mutex);
  HWND window = static_cast<HWND>(parent);
  std::unique_ptr<Win32FrontEnd>& frontEnd = frontEnds[window];
  if (!frontEnd) frontEnd = std::make_unique<Win32FrontEnd>(window);
  return *frontEnd;
}
