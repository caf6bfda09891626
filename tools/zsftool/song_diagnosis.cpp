#include "tools/zsftool/song_diagnosis.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "container/byte_cursor.h"
#include "container/file_kind.h"
#include "container/pack_path.h"
#include "container/song.h"
#include "container/zsf_format.h"
#include "container/zsf_header.h"

std::string VersionText(unsigned major, unsigned minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string DescribeLoadFailure(const std::string& path, bool passwordGiven) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string("cannot open: ") + std::strerror(errno);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (FileKindFromName(path.c_str()) != kFileKindZsf) {
    return "the name must end in .zsf or .ztf (the reader is chosen by the extension)";
  }
  ByteCursor cursor(file.data(), file.size());
  ZsfHeader header;
  if (ReadZsfHeader(cursor, &header) != 0) {
    if (file.size() < 6) return "the file is too short for a ZSF header";
    if (!ZsfVersionAccepted(header.major, header.minor)) {
      return "version " + VersionText(header.major, header.minor) + " is not supported (newest read: " +
             VersionText(kZsfHighestAccepted.major, kZsfHighestAccepted.minor) + ")";
    }
    if (!header.magicOk) return "not a ZSF song (no \"ZSF1\" magic)";
    return "the header is truncated";
  }
  std::string packPath;
  if (!ComposePackPath(path, header.packName, &packPath)) {
    return "the sample pack path (" + header.packName + " beside the song) is longer than 199 characters";
  }
  if (std::FILE* pack = std::fopen(packPath.c_str(), "rb")) {
    std::fclose(pack);
  } else {
    return "sample pack " + packPath + " cannot be opened: " + std::strerror(errno);
  }
  return std::string("the structure block, the song body or the sample pack ") + packPath +
         " is damaged, or a sample cannot be derived from it" +
         (passwordGiven ? " (is the password right?)" : "");
}

std::string DescribeRebuildFailure(const Song& song) {
  const SongBody& body = song.Body();
  if (song.GetModuleKind() > kFileKindMod) {
    return "the song names no module kind that can be rebuilt (module kind " +
           std::to_string(song.GetModuleKind()) + ")";
  }
  if (body.sampleCount > 0 && body.sampleOffsets && body.sampleOffsets[0] == 0) {
    return "the song stores no sample offsets (version " + VersionText(song.VersionMajor(), song.VersionMinor()) +
           "; offsets are stored from 1.12)";
  }
  for (uint32_t i = 0; i < body.sampleCount; ++i) {
    if (!body.records[i].data) return "sample " + std::to_string(i) + " has no data";
    if (body.records[i].size == 0 && song.VersionMajor() >= 2) {
      return "sample " + std::to_string(i) + " is empty";
    }
  }
  return "a sample offset lies outside the module image";
}
