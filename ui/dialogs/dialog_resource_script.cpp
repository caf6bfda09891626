// Kept free of everything but the template data: the Windows build compiles this
// file for the build machine, to write the script before the cross compiler runs.
#include "ui/dialogs/dialog_resource_script.h"

#include <cstdio>

namespace {

// Every control is a visible child of its dialog; the template holds the rest.
constexpr uint32_t kChildVisible = 0x50000000;  // WS_CHILD | WS_VISIBLE

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

const char* ResourceClassName(ControlClass cls) {
  switch (cls) {
    case ControlClass::Static: return "Static";
    case ControlClass::Edit: return "Edit";
    case ControlClass::Button: return "Button";
    case ControlClass::ListBox: return "ListBox";
  }
  return "Static";
}

std::string ResourceString(const char* text) {
  std::string out = "\"";
  for (const char* p = text ? text : ""; *p; ++p) {
    switch (*p) {
      case '"': out += "\"\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += *p; break;
    }
  }
  return out + "\"";
}

std::string DialogResourceStatement(const DialogTemplate& dialog) {
  std::string out;
  out += std::to_string(dialog.id) + " DIALOG 0, 0, " + std::to_string(dialog.width) + ", " +
         std::to_string(dialog.height) + "\n";
  out += "STYLE DS_MODALFRAME | ";
  if (dialog.centred) out += "DS_CENTER | ";
  out += "WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
  out += "CAPTION " + ResourceString(dialog.caption) + "\n";
  out += "FONT " + std::to_string(dialog.pointSize) + ", " + ResourceString(dialog.font) + "\n";
  out += "BEGIN\n";
  for (size_t i = 0; i < dialog.controlCount; ++i) {
    const ControlTemplate& c = dialog.controls[i];
    out += "  CONTROL " + ResourceString(c.text) + ", " + std::to_string(c.id) + ", \"" +
           ResourceClassName(c.cls) + "\", " + Hex(c.style | kChildVisible) + ", " + std::to_string(c.x) +
           ", " + std::to_string(c.y) + ", " + std::to_string(c.width) + ", " + std::to_string(c.height) +
           "\n";
  }
  out += "END\n";
  return out;
}

std::string DialogResourceScript() {
  std::string out =
      "// The plug-in's dialog templates, written at build time from\n"
      "// ui/dialogs/dialog_templates.h: edit that file, not this one.\n"
      "#include <windows.h>\n"
      "\n"
      "LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL\n";
  for (const DialogTemplate* dialog : {&kInfoTemplate, &kConfigTemplate, &kPromptTemplate})
    out += "\n" + DialogResourceStatement(*dialog);
  return out;
}
