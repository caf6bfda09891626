// The header of a ZSF/ZTF song, read on its own for tools that describe a song
// without loading its samples; ZsfFormat::Load reads it the same way.
#pragma once
#include <cstdint>
#include <string>

class ByteCursor;
struct Failure;

struct ZsfHeader {
  uint8_t major = 0;
  uint8_t minor = 0;
  bool magicOk = false;
  std::string packName;
  std::string moduleExtension;  // empty before 1.11
  uint8_t moduleKind = 0;       // FileKind of the extension; 0 before 1.11
  uint32_t structureSize = 0;   // declared
  uint32_t compressedLength = 0;
};

// Reads the header up to the structure block, leaving IN at the block. 0, or 1 for
// a refused version (judged first, and recorded), a wrong magic or a short header,
// with the reason in FAILURE (may be null).
uint32_t ReadZsfHeader(ByteCursor& in, ZsfHeader* header, Failure* failure = nullptr);
