#include "container/block_decompress.h"

#include <lzo/lzo1x.h>

#include <cstdlib>

uint64_t BlockDecodedLengthLimit(uint32_t sourceLength) {
  // A match instruction can stretch its length with runs of zero bytes, each worth
  // 255 more bytes of output; nothing in LZO1X expands faster than that.
  return static_cast<uint64_t>(sourceLength) * 256u + 64u;
}

uint32_t BlockDecompress(const uint8_t* source, uint32_t sourceLength, uint32_t expectedLength,
                         uint8_t** outData, uint32_t* outLength) {
  // An honest block cannot fill more than this; decoding stops at the smaller bound
  // (and still fails if the stream wants more), so a forged length costs nothing.
  uint64_t room = expectedLength;
  if (room > BlockDecodedLengthLimit(sourceLength)) room = BlockDecodedLengthLimit(sourceLength);

  // Every LZO1X stream ends in a 3-byte end marker; an empty block cannot be one, and
  // the decoder must not be asked to look at a byte that is not there.
  if (!source || sourceLength < 3) return kBlockCorrupt;

  auto* buffer = static_cast<uint8_t*>(std::malloc(room ? room : 1));
  if (!buffer) return kBlockCorrupt;
  if (lzo_init() != LZO_E_OK) {
    std::free(buffer);
    return kBlockLibraryUnavailable;
  }
  lzo_uint decoded = static_cast<lzo_uint>(room);
  int rc = lzo1x_decompress_safe(source, sourceLength, buffer, &decoded, nullptr);
  if (rc != LZO_E_OK) {
    std::free(buffer);
    return kBlockCorrupt;
  }
  if (decoded < room) {
    auto* shrunk = static_cast<uint8_t*>(std::realloc(buffer, decoded ? decoded : 1));
    if (shrunk) buffer = shrunk;
  }
  if (outData) {
    *outData = buffer;
  } else {
    std::free(buffer);
  }
  if (outLength) *outLength = static_cast<uint32_t>(decoded);
  return kBlockOk;
}
