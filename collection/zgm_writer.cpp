#include "collection/zgm_writer.h"

#include <cstring>

#include "container/byte_stream.h"
#include "container/byte_writer.h"
#include "platform/file_replace.h"

namespace {

bool Refuse(std::string* reason, const std::string& why) {
  if (reason) *reason = why;
  return false;
}

}  // namespace

bool EncodeZgm(const ZgmContents& contents, std::vector<uint8_t>* out, std::string* reason) {
  if (contents.entries.size() > zgm::kMaxEntries)
    return Refuse(reason, std::to_string(contents.entries.size()) +
                              " entries, at most 666 fit a collection");
  uint64_t total = zgm::kHeaderSize;
  for (const ZgmEntrySource& e : contents.entries) {
    if (e.data.size() > 0xFFFFFFFFull)
      return Refuse(reason, "entry " + e.name + " is larger than 4 GiB");
    total += zgm::kEntryHeaderSize + e.data.size();
  }
  // Offsets and sizes are read back through 32-bit stream positions.
  if (total > 0xFFFFFFFFull) return Refuse(reason, "the collection would exceed 4 GiB");

  ByteWriter w;
  w.data().reserve(static_cast<size_t>(total));
  w.bytes(zgm::kMagic, zgm::kMagicSize);
  w.u8(zgm::kVersionByte);
  w.u8(zgm::kReservedByte);
  w.text(contents.info, zgm::kInfoSize);
  w.u32(static_cast<uint32_t>(contents.entries.size()));
  for (const ZgmEntrySource& e : contents.entries) {
    w.u8(e.kind);
    w.text(e.name, zgm::kNameSize);
    w.u32(static_cast<uint32_t>(e.data.size()));
    w.bytes(e.data);
  }
  *out = w.take();
  return true;
}

bool WriteZgmFile(const std::string& path, const ZgmContents& contents, std::string* reason) {
  std::vector<uint8_t> bytes;
  if (!EncodeZgm(contents, &bytes, reason)) return false;

  FileReplacement file;
  if (BeginFileReplacement(path.c_str(), &file, ReplaceMode::kNewOrExisting) != 0)
    return Refuse(reason, "cannot create " + path + ": " + std::strerror(file.error));
  StreamWrite(bytes.data(), static_cast<uint32_t>(bytes.size()), file.stream);
  if (CommitFileReplacement(&file) != 0)
    return Refuse(reason, "cannot write " + path + ": " + std::strerror(file.error));
  return true;
}
