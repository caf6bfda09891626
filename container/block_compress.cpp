#include "container/block_compress.h"

#include <lzo/lzo1x.h>

bool CompressBlock(const std::vector<uint8_t>& data, bool smallest, std::vector<uint8_t>* block,
                   std::string* error) {
  if (lzo_init() != LZO_E_OK) {
    *error = "the compression library cannot be initialised";
    return false;
  }
  // LZO1X's documented worst case for incompressible input.
  std::vector<uint8_t> out(data.size() + data.size() / 16 + 64 + 3);
  std::vector<uint8_t> work(smallest ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
  lzo_uint length = out.size();
  const int rc = smallest ? lzo1x_999_compress(data.data(), data.size(), out.data(), &length, work.data())
                          : lzo1x_1_compress(data.data(), data.size(), out.data(), &length, work.data());
  if (rc != LZO_E_OK) {
    *error = "the compressor refused the data";
    return false;
  }
  out.resize(length);
  *block = std::move(out);
  return true;
}
