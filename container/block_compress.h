// Block compression, the writers' side of container/block_decompress.h: LZO1X blocks
// as songs (their structure image) and packs (their entry bodies) store them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Compresses DATA into BLOCK: with SMALLEST the slow best-ratio compressor
// (lzo1x_999), else the fast one (lzo1x_1); both decode the same way. False with
// ERROR when the library cannot be used.
bool CompressBlock(const std::vector<uint8_t>& data, bool smallest, std::vector<uint8_t>* block,
                   std::string* error);
