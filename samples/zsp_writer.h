// ZSP writer: packs of every version the reader accepts, for tools, tests and fuzz
// seeds. Raw or Vorbis-coded entries, optional LZO compression and scrambling.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "container/byte_writer.h"

struct ZspEntry {
  enum class Kind { Empty, Pcm, Coded };
  Kind kind = Kind::Empty;
  // Pcm: the stored bytes. Coded: signed PCM (width BITS, CHANNELS interleaved) that
  // the writer encodes with Vorbis, unless OGG already holds the coded stream.
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> ogg;       // Coded: a ready Ogg Vorbis stream (then pcm is unused)
  uint32_t decodedLength = 0;     // Coded with OGG given: the declared PCM length
  uint8_t bits = 16;
  uint8_t channels = 1;
  uint8_t attribute = 0;
  uint32_t value = 0;
  std::string name;
};

struct ZspWriteOptions {
  uint8_t major = 2, minor = 3;
  bool compress = false;
  bool smallest = true;         // lzo1x_999 (smallest) or lzo1x_1 (fast)
  int32_t scrambleKey = 0;      // store key (-49..49); 0 = not scrambled
  bool scrambledFlag = false;   // set the header flag even without a key
  float vorbisQuality = 0.4f;   // -0.1 .. 1.0
};

// The whole pack in OUT. False (with a reason in ERROR) when an entry cannot be
// expressed in the chosen version or an encoder fails.
bool WriteZsp(const std::vector<ZspEntry>& entries, const ZspWriteOptions& options,
              std::vector<uint8_t>* out, std::string* error);

// The same in pieces, for packs too large to build in memory: the header, then one
// slot at a time, then the end marker (version 2 only writes one).
bool ZspWriteHeader(const ZspWriteOptions& options, uint32_t entryCount, ByteWriter* out,
                    std::string* error);
bool ZspWriteSlot(const ZspEntry& entry, const ZspWriteOptions& options, ByteWriter* out,
                  std::string* error);
void ZspWriteEnd(const ZspWriteOptions& options, ByteWriter* out);

// Encodes signed PCM (8 or 16 bit, CHANNELS interleaved) as one Ogg Vorbis stream at
// 44100 Hz. SERIAL tells chained streams apart.
bool EncodeVorbis(const std::vector<uint8_t>& pcm, uint8_t bits, uint8_t channels,
                  float quality, int serial, std::vector<uint8_t>* ogg, std::string* error);

// The store key a password gives: HashPassword, then the remainder by 50.
int32_t ZspKeyFromPassword(const std::string& password);
