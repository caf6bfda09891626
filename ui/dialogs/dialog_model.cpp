#include "ui/dialogs/dialog_model.h"

#include <cstdio>

DialogModel::DialogModel(const DialogTemplate& tmpl) : template_(tmpl), caption_(tmpl.caption) {
  controls_.reserve(tmpl.controlCount);
  for (size_t i = 0; i < tmpl.controlCount; ++i) {
    const ControlTemplate& t = tmpl.controls[i];
    Control c;
    c.id = t.id;
    c.cls = t.cls;
    c.style = t.style;
    c.text = t.text;
    c.enabled = (t.style & style::kDisabled) == 0;
    controls_.push_back(std::move(c));
  }
}

Control* DialogModel::Find(int id) {
  if (id == kNoId) return nullptr;
  for (Control& c : controls_)
    if (c.id == id) return &c;
  return nullptr;
}

const Control* DialogModel::Find(int id) const { return const_cast<DialogModel*>(this)->Find(id); }

void DialogModel::SetText(int id, const std::string& text) {
  if (Control* c = Find(id)) c->text = text;
}

std::string FormatDialogText(const char* format, const char* value) {
  char buffer[kDialogTextSize];
  std::snprintf(buffer, sizeof buffer, format, value ? value : "");
  return buffer;
}
