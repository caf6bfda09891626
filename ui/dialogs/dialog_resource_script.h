// The Windows resource script of the plug-in's dialog templates, written from the
// template data so that the geometry and texts are typed only once.
#pragma once
#include <string>

#include "ui/dialogs/dialog_templates.h"

// The script text of one template: a DIALOG statement with its caption, font and
// style, and one CONTROL statement per control in template order.
std::string DialogResourceStatement(const DialogTemplate& dialog);

// The whole script: templates 101, 102 and 104, ready for the resource compiler.
std::string DialogResourceScript();

// TEXT as a resource-script string literal: quotes doubled, backslashes and line
// breaks escaped.
std::string ResourceString(const char* text);

// The Win32 class name a control class is created from ("Static", "Edit", ...).
const char* ResourceClassName(ControlClass cls);
