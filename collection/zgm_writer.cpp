#include "collection/zgm_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "container/byte_stream.h"
#include "container/byte_writer.h"

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

  const std::string temp = path + ".tmp" + std::to_string(getpid());
  ByteStream* s = StreamCreateFile(temp.c_str());
  if (!s) return Refuse(reason, std::string("cannot create ") + temp + ": " + std::strerror(errno));
  StreamWrite(bytes.data(), static_cast<uint32_t>(bytes.size()), s);
  // StreamWrite reports what it was asked to write; the file's own state tells
  // whether the bytes reached the disk, and fsync keeps the rename from landing
  // before them.
  bool written = std::fflush(s->file) == 0 && !std::ferror(s->file) &&
                 fsync(fileno(s->file)) == 0;
  int err = errno;
  StreamClose(s);
  if (!written) {
    std::remove(temp.c_str());
    return Refuse(reason, std::string("cannot write ") + temp + ": " + std::strerror(err));
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    std::remove(temp.c_str());
    return Refuse(reason, std::string("cannot replace ") + path + ": " + std::strerror(err));
  }
  return true;
}
