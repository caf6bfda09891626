// The user in front of the host's dialogs: a second thread that finds the dialogs the
// host's main thread opens (modal, so the main thread is busy inside them) and works
// them by messages, one step at a time, as a person would with mouse and keys.
//
// Steps, one per argument:
//   wait:CAPTION   until an enabled dialog of the main thread with this caption is
//                  shown (wait:* takes any); it becomes the current dialog
//   gone           until the current dialog is closed
//   text:ID=VALUE  sets the text of control ID (an edit)
//   click:ID       clicks button or check box ID (yes, no, ok: the message box buttons)
//   select:ID=N    selects line N of list box ID, telling the dialog as a click would
//   get:ID         prints "ID=text" of control ID
//   dump           prints every control: id, class, text, state
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace winhost {

class DialogDriver {
 public:
  // Checks the steps' spelling; false and WHY for the first bad one.
  static bool Check(const std::vector<std::string>& steps, std::string* why);
  // Starts working STEPS against the dialogs of MAIN_THREAD. A step that cannot be done
  // ends the whole process with exit code 3: a modal dialog left open would otherwise
  // hold the main thread for ever.
  bool Start(DWORD mainThread, std::vector<std::string> steps);
  // Waits until every step was done; false if they were not within TIMEOUT_MS.
  bool Finish(DWORD timeoutMs);

 private:
  static DWORD WINAPI Run(void* self);
  bool Do(const std::string& step, std::string* why);

  DWORD mainThread_ = 0;
  std::vector<std::string> steps_;
  HANDLE thread_ = nullptr;
  HWND current_ = nullptr;
};

}  // namespace winhost
