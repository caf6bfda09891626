// A persistent key/value store shaped like the Windows registry, kept as a text file
// in the registry editor's export format so people can read it and Windows can
// import it. Only HKEY_LOCAL_MACHINE is modelled. Keys and values written by other
// programs into the same file are carried through every save unchanged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One value line of a key. The name "" is the key's default value ("@" in the file).
struct RegistryValue {
  enum class Kind { Dword, String, Raw, Comment };
  Kind kind = Kind::Raw;
  std::string name;
  uint32_t dword = 0;
  // String: the text itself. Raw: the right-hand side verbatim (hex:, hex(n):, "-"
  // and continuation lines), for types this store does not interpret. Comment: the line.
  std::string text;
};

struct RegistryKey {
  std::string path;  // full path as in the file, e.g. "HKEY_LOCAL_MACHINE\Software\X"
  std::vector<RegistryValue> values;

  // Name "" or null is the default value. False when missing or of another type.
  bool ReadDword(const char* name, uint32_t* out) const;
  bool ReadString(const char* name, std::string* out) const;
  // Creates or replaces the value (with its type). A string holding a line break
  // cannot be written as a text line, so it is refused (false).
  bool WriteDword(const char* name, uint32_t value);
  bool WriteString(const char* name, const std::string& value);
};

struct RegistryDocument {
  std::string header = "Windows Registry Editor Version 5.00";
  std::vector<std::string> preamble;  // comment lines before the first key
  std::vector<RegistryKey> keys;
};

// Pure parser over bytes (fuzzed): true and *DOC filled when TEXT is a store in the
// export format (empty text is an empty store); false otherwise, *DOC then unspecified.
bool ParseRegistryText(const uint8_t* text, size_t size, RegistryDocument* doc);
// The file text for DOC; parsing it gives DOC back.
std::string FormatRegistryText(const RegistryDocument& doc);

// $ZSF_REGISTRY, else $XDG_CONFIG_HOME/zsfplay/registry.reg, else
// ~/.config/zsfplay/registry.reg.
std::string RegistryStorePath();

class RegistryStore {
 public:
  explicit RegistryStore(std::string path = RegistryStorePath());

  // Reads the file. A missing file is an empty store. A file that cannot be read or
  // parsed leaves an empty store, Readable() false, and the file untouched.
  void Load();
  bool Readable() const { return readable_; }
  const std::string& path() const { return path_; }

  // Opens (null when absent) or creates a key below HKEY_LOCAL_MACHINE, e.g.
  // "Software\Quorvath Entertainment\ZSFPlay"; paths compare ignoring ASCII case.
  // The pointer is valid until the next CreateKey or Load.
  RegistryKey* OpenKey(const std::string& subPath);
  RegistryKey* CreateKey(const std::string& subPath);

  // Writes the whole store: folders created, a temporary file in the same folder
  // written and flushed to disk, then renamed over the old file, so a crash leaves
  // the old or the new store, never half of one. A file that Load could not parse is
  // first renamed aside with a ".bad" suffix, never overwritten. False on failure.
  bool Save();

 private:
  bool SaveTo(const std::string& path);

  std::string path_;
  RegistryDocument doc_;
  bool readable_ = true;
  bool fileExisted_ = false;
};
