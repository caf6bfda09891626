// The geometry of the plug-in's three dialog templates (101 file information, 102
// configuration, 104 prompt): control ids, classes, initial texts, positions and
// sizes in dialog units, styles, captions and the font. The Win32 build generates its
// resource script from this data; the text front end reads ids, texts and order.
// Style bits carry their Win32 values so that the generated script needs no table.
#pragma once
#include <cstddef>
#include <cstdint>

enum class ControlClass { Static, Edit, Button, ListBox };

namespace style {
inline constexpr uint32_t kCentre = 0x0001;           // static: centred text
inline constexpr uint32_t kPushButton = 0x0000;
inline constexpr uint32_t kDefaultPushButton = 0x0001;
inline constexpr uint32_t kAutoCheckBox = 0x0003;
inline constexpr uint32_t kButtonKindMask = 0x000F;
inline constexpr uint32_t kAutoHScroll = 0x0080;      // edit: scrolls sideways
inline constexpr uint32_t kListNotify = 0x0001;       // list: reports selection changes
inline constexpr uint32_t kTabStop = 0x00010000;
inline constexpr uint32_t kVScroll = 0x00200000;
inline constexpr uint32_t kBorder = 0x00800000;
inline constexpr uint32_t kDisabled = 0x08000000;
}  // namespace style

// Id of a control that the code never addresses (Win32's IDC_STATIC).
inline constexpr int kNoId = -1;

struct ControlTemplate {
  int id;
  ControlClass cls;
  const char* text;
  int16_t x, y, width, height;
  uint32_t style;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int16_t width, height;
  const char* font;
  int16_t pointSize;
  bool centred;
  const ControlTemplate* controls;
  size_t controlCount;
};

inline constexpr const char* kDialogFont = "MS Sans Serif";
inline constexpr int16_t kDialogPointSize = 8;

// Template 104: the one-line prompt.
inline constexpr int kPromptDialogId = 104;
inline constexpr int kPromptLabel = 1010;
inline constexpr int kPromptEdit = 1009;
inline constexpr ControlTemplate kPromptControls[] = {
    {kPromptLabel, ControlClass::Static, "Enter a String", 17, 7, 150, 8, style::kCentre},
    {kPromptEdit, ControlClass::Edit, "", 11, 21, 162, 12,
     style::kAutoHScroll | style::kBorder | style::kTabStop},
    {1, ControlClass::Button, "OK", 68, 40, 50, 14, style::kDefaultPushButton | style::kTabStop},
};
inline constexpr DialogTemplate kPromptTemplate = {
    kPromptDialogId, "Dialog", 186, 61, kDialogFont, kDialogPointSize, true,
    kPromptControls, sizeof kPromptControls / sizeof kPromptControls[0]};

// Template 102: the configuration dialog.
inline constexpr int kConfigDialogId = 102;
inline constexpr int kConfigTitleEdit = 1001;
inline constexpr int kConfigDisableEcho = 1007;
inline constexpr int kConfigLoBit = 1008;
inline constexpr int kConfigMono = 1009;
inline constexpr int kConfigLoadLen = 1014;
inline constexpr ControlTemplate kConfigControls[] = {
    {kConfigTitleEdit, ControlClass::Edit, "", 7, 7, 95, 12,
     style::kAutoHScroll | style::kBorder | style::kTabStop},
    {kNoId, ControlClass::Static, "Way to display titles in Winamp.\n%tagname%\n(eg %title% (%artist%))",
     110, 7, 101, 29, 0},
    {kConfigDisableEcho, ControlClass::Button, "Disable 'SEcho'", 7, 44, 65, 10,
     style::kAutoCheckBox | style::kTabStop | style::kDisabled},
    {kNoId, ControlClass::Static, "Disables Built-in Echo", 142, 44, 69, 8, 0},
    {kConfigLoBit, ControlClass::Button, "8 Bit", 7, 57, 30, 10, style::kAutoCheckBox | style::kTabStop},
    {kNoId, ControlClass::Static, "Plays music in 8-Bit (Doesn't effect speed)", 79, 57, 132, 8, 0},
    {kConfigMono, ControlClass::Button, "Mono", 7, 70, 34, 10, style::kAutoCheckBox | style::kTabStop},
    {kNoId, ControlClass::Static, "Mono vs. Stereo Rendering", 123, 70, 88, 8, 0},
    {kConfigLoadLen, ControlClass::Button, "Load Lengths", 7, 83, 59, 10,
     style::kAutoCheckBox | style::kTabStop},
    {kNoId, ControlClass::Static, "Load Lengths before Play (1ghz+ CPU)", 87, 83, 124, 8, 0},
    {1, ControlClass::Button, "OK", 84, 101, 50, 14, style::kDefaultPushButton | style::kTabStop},
};
inline constexpr DialogTemplate kConfigTemplate = {
    kConfigDialogId, "ZSF Configuration", 218, 122, kDialogFont, kDialogPointSize, true,
    kConfigControls, sizeof kConfigControls / sizeof kConfigControls[0]};

// Template 101: the file information dialog.
inline constexpr int kInfoDialogId = 101;
inline constexpr int kInfoTitle = 1001;
inline constexpr int kInfoArtist = 1002;
inline constexpr int kInfoAlbum = 1003;
inline constexpr int kInfoTagList = 1004;
inline constexpr int kInfoSamples = 1005;
inline constexpr int kInfoValue = 1006;
inline constexpr int kInfoEditTag = 1008;
inline constexpr int kInfoAddTag = 1009;
inline constexpr int kInfoRemoveTag = 1010;
inline constexpr int kInfoPassword = 1011;
inline constexpr ControlTemplate kInfoControls[] = {
    {kInfoTitle, ControlClass::Static, "Title:", 9, 7, 270, 8, 0},
    {kInfoArtist, ControlClass::Static, "Artist:", 9, 17, 270, 8, 0},
    {kInfoAlbum, ControlClass::Static, "Album:", 9, 27, 270, 8, 0},
    {kInfoSamples, ControlClass::Static, "Samples:", 9, 37, 270, 8, 0},
    {kNoId, ControlClass::Static, "Tags:", 9, 54, 19, 8, 0},
    {kInfoTagList, ControlClass::ListBox, "", 7, 64, 133, 117,
     style::kListNotify | style::kVScroll | style::kBorder | style::kTabStop},
    {kInfoValue, ControlClass::Static, "xxx", 150, 64, 127, 43, 0},
    {kInfoEditTag, ControlClass::Button, "Edit Tag", 148, 113, 48, 13, style::kPushButton | style::kTabStop},
    {kInfoAddTag, ControlClass::Button, "Add Tag", 148, 130, 48, 13, style::kPushButton | style::kTabStop},
    {kInfoRemoveTag, ControlClass::Button, "Remove Tag", 148, 148, 48, 13,
     style::kPushButton | style::kTabStop},
    {kInfoPassword, ControlClass::Button, "Password", 182, 168, 50, 14, style::kPushButton | style::kTabStop},
    {1, ControlClass::Button, "OK", 239, 168, 50, 14, style::kDefaultPushButton | style::kTabStop},
};
inline constexpr DialogTemplate kInfoTemplate = {
    kInfoDialogId, "ZSF File Info", 292, 185, kDialogFont, kDialogPointSize, true,
    kInfoControls, sizeof kInfoControls / sizeof kInfoControls[0]};
