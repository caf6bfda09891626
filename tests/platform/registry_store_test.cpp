// The registry export parser and writer: escapes, value kinds, the export's text
// encodings, what counts as unreadable, and the registry-shaped key operations.
#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/files.h"

namespace {

bool Parse(const std::string& text, RegistryDocument* doc) {
  return ParseRegistryText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), doc);
}

TEST(RegistryText, ParsesEveryValueKindAndFormatsItBack) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "; a comment\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\Software\\A]\n"
      "@=\"default text\"\n"
      "\"Quote\\\"Name\"=\"back\\\\slash and \\\"quote\\\"\"\n"
      "\"Count\"=dword:0000002A\n"
      "\"Bytes\"=hex:00,ff,\\\n"
      "  10\n"
      "\"Gone\"=-\n"
      "\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Removed]\n";
  RegistryDocument doc;
  ASSERT_TRUE(Parse(text, &doc));
  ASSERT_EQ(doc.keys.size(), 2u);
  const RegistryKey& a = doc.keys[0];
  EXPECT_EQ(a.path, "HKEY_LOCAL_MACHINE\\Software\\A");
  std::string s;
  EXPECT_TRUE(a.ReadString(nullptr, &s));
  EXPECT_EQ(s, "default text");
  EXPECT_TRUE(a.ReadString("Quote\"Name", &s));
  EXPECT_EQ(s, "back\\slash and \"quote\"");
  uint32_t v = 0;
  EXPECT_TRUE(a.ReadDword("count", &v));  // names ignore ASCII case
  EXPECT_EQ(v, 42u);
  EXPECT_FALSE(a.ReadDword("Bytes", &v));  // kept, but not a DWORD
  EXPECT_FALSE(a.ReadString("Count", &s));
  EXPECT_FALSE(a.ReadDword("Missing", &v));

  std::string again = FormatRegistryText(doc);
  RegistryDocument doc2;
  ASSERT_TRUE(Parse(again, &doc2));
  EXPECT_EQ(FormatRegistryText(doc2), again);
  EXPECT_NE(again.find("\"Bytes\"=hex:00,ff,\\\n  10\n"), std::string::npos) << again;
  EXPECT_NE(again.find("\"Count\"=dword:0000002a\n"), std::string::npos) << again;
}

TEST(RegistryText, AcceptsCrLfByteOrderMarksAndTheOlderHeader) {
  RegistryDocument doc;
  ASSERT_TRUE(Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]"
                    "\r\n\"A\"=dword:00000001\r\n",
                    &doc));
  uint32_t v = 0;
  ASSERT_EQ(doc.keys.size(), 1u);
  EXPECT_TRUE(doc.keys[0].ReadDword("A", &v));
  EXPECT_EQ(v, 1u);

  ASSERT_TRUE(Parse("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\X]\n\"A\"=\"b\"\n", &doc));
  EXPECT_EQ(doc.header, "REGEDIT4");

  // What the registry editor writes on Windows: UTF-16LE with a byte-order mark.
  std::string narrow = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                       "\"T\"=\"caf\xE9\"\r\n";
  std::vector<uint8_t> wide = {0xFF, 0xFE};
  for (char c : narrow) {
    wide.push_back(static_cast<uint8_t>(c));
    wide.push_back(0);
  }
  ASSERT_TRUE(ParseRegistryText(wide.data(), wide.size(), &doc));
  std::string t;
  ASSERT_EQ(doc.keys.size(), 1u);
  EXPECT_TRUE(doc.keys[0].ReadString("T", &t));
  EXPECT_EQ(t, "caf\xE9");
}

TEST(RegistryText, EmptyTextIsAnEmptyStore) {
  RegistryDocument doc;
  EXPECT_TRUE(ParseRegistryText(nullptr, 0, &doc));
  EXPECT_TRUE(doc.keys.empty());
  EXPECT_TRUE(Parse("\n \r\n", &doc));
}

TEST(RegistryText, RefusesWhatItCannotReadFaithfully) {
  RegistryDocument doc;
  const std::string h = "Windows Registry Editor Version 5.00\n";
  const std::string k = "[HKEY_LOCAL_MACHINE\\X]\n";
  EXPECT_FALSE(Parse("just some text\n", &doc));
  EXPECT_FALSE(Parse(h + "\"A\"=dword:1\n", &doc));                 // value outside a key
  EXPECT_FALSE(Parse(h + "[HKEY_LOCAL_MACHINE\\X\n", &doc));         // unclosed key
  EXPECT_FALSE(Parse(h + k + "\"A\"=\"open\n", &doc));               // unterminated text
  EXPECT_FALSE(Parse(h + k + "\"A\"=\"x\"y\n", &doc));               // text after the quote
  EXPECT_FALSE(Parse(h + k + "\"A\"=dword:123456789\n", &doc));      // nine digits
  EXPECT_FALSE(Parse(h + k + "\"A\"=dword:\n", &doc));
  EXPECT_FALSE(Parse(h + k + "\"A\"=dword:12g\n", &doc));
  EXPECT_FALSE(Parse(h + k + "\"A\"=qword:1\n", &doc));              // unknown form
  EXPECT_FALSE(Parse(h + k + "\"A\"\n", &doc));                      // no '='
  EXPECT_FALSE(Parse(h + k + "\"A\"=hex:01,\\", &doc));
  const uint8_t wideHigh[] = {0xFF, 0xFE, 'R', 0x00, 0x3A, 0x04};  // a character above 0xFF
  EXPECT_FALSE(ParseRegistryText(wideHigh, sizeof wideHigh, &doc));
  const uint8_t wideOdd[] = {0xFF, 0xFE, 'R'};
  EXPECT_FALSE(ParseRegistryText(wideOdd, sizeof wideOdd, &doc));
}

TEST(RegistryKeyOps, WritesReplaceTypesAndRefuseLineBreaks) {
  RegistryKey key;
  key.path = "HKEY_LOCAL_MACHINE\\X";
  EXPECT_TRUE(key.WriteString("A", "text"));
  EXPECT_TRUE(key.WriteDword("A", 7));  // same name, now a DWORD
  uint32_t v = 0;
  std::string s;
  EXPECT_TRUE(key.ReadDword("a", &v));
  EXPECT_EQ(v, 7u);
  EXPECT_FALSE(key.ReadString("A", &s));
  EXPECT_EQ(key.values.size(), 1u);
  EXPECT_TRUE(key.WriteDword(nullptr, 666));
  EXPECT_EQ(key.values.front().name, "");  // the default value leads
  EXPECT_FALSE(key.WriteString("B", "two\nlines"));
  EXPECT_FALSE(key.WriteDword("C\r", 1));
  EXPECT_FALSE(key.ReadString("B", &s));
}

TEST(RegistryStoreFile, KeysAreCreatedOnceAndFoundIgnoringCase) {
  zsftest::TempDir dir;
  RegistryStore store(dir.file("sub/dir/r.reg"));
  EXPECT_TRUE(store.Readable());
  EXPECT_EQ(store.OpenKey("Software\\A"), nullptr);
  RegistryKey* a = store.CreateKey("Software\\A");
  ASSERT_NE(a, nullptr);
  a->WriteString("Name", "v");
  EXPECT_EQ(store.CreateKey("SOFTWARE\\a"), store.OpenKey("Software\\A"));
  EXPECT_EQ(store.CreateKey("Bad]Key"), nullptr);
  ASSERT_TRUE(store.Save());  // folders made on the way

  RegistryStore reread(dir.file("sub/dir/r.reg"));
  RegistryKey* back = reread.OpenKey("software\\a");
  ASSERT_NE(back, nullptr);
  std::string s;
  EXPECT_TRUE(back->ReadString("name", &s));
  EXPECT_EQ(s, "v");
  EXPECT_EQ(back->path, "HKEY_LOCAL_MACHINE\\Software\\A");
}

TEST(RegistryStoreFile, SaveThroughASymbolicLinkKeepsTheLink) {
  zsftest::TempDir dir;
  std::string real = dir.file("real.reg");
  std::string link = dir.file("link.reg");
  zsftest::WriteFile(real, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\X]\n"
                           "\"Keep\"=dword:00000007\n");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  RegistryStore store(link);
  ASSERT_TRUE(store.Readable());
  store.CreateKey("X")->WriteDword("New", 1);
  ASSERT_TRUE(store.Save());
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  RegistryStore reread(real);
  uint32_t v = 0;
  ASSERT_NE(reread.OpenKey("X"), nullptr);
  EXPECT_TRUE(reread.OpenKey("X")->ReadDword("Keep", &v));
  EXPECT_EQ(v, 7u);
  EXPECT_TRUE(reread.OpenKey("X")->ReadDword("New", &v));
  EXPECT_EQ(v, 1u);
}

}  // namespace
