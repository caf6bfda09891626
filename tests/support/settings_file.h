// The player's settings store as the registry editor exports it, written before a
// test's Init reads it.
#pragma once
#include <string>

#include "support/files.h"

namespace zsftest {

struct StoredSettings {
  bool loBit = false, mono = false, loadLen = false;
  std::string titleOutput = "%title% (%artist%)";
};

// The settings store as the registry editor exports it; read by Init.
inline void WriteSettings(const std::string& path, const StoredSettings& s) {
  auto dword = [](bool on) { return on ? std::string("dword:00000001") : std::string("dword:00000000"); };
  WriteFile(path, std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Quorvath Entertainment\\ZSFPlay]\r\n"
                              "@=dword:0000029a\r\n"
                              "\"DisableSEcho\"=dword:00000000\r\n") +
                      "\"LoBit\"=" + dword(s.loBit) + "\r\n\"Mono\"=" + dword(s.mono) +
                      "\r\n\"LoadLen\"=" + dword(s.loadLen) + "\r\n\"TitleOutput\"=\"" +
                      s.titleOutput + "\"\r\n");
}

}  // namespace zsftest
