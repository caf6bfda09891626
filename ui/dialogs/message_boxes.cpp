#include "ui/dialogs/message_boxes.h"

#include "ui/product_version.h"

namespace {
constexpr const char* kAboutCaption = "About ZSF Player";
constexpr const char* kPluginCaption = "INZSF";
constexpr const char* kChangePassword = "Would you like to change the current password?";
}  // namespace

MessageBoxModel AboutBox() {
  char text[kDialogTextSize];
  FormatProductLine(text, sizeof text);
  return {text, kAboutCaption, MessageButtons::Ok, MessageIcon::Information};
}

MessageBoxModel ChangePasswordQuestion() {
  return {kChangePassword, kPluginCaption, MessageButtons::YesNo, MessageIcon::Question};
}
