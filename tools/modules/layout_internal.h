// The per-format readers behind ReadModuleLayout and the helpers they share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "container/byte_cursor.h"
#include "tools/modules/module_formats.h"
#include "tools/modules/layout_records.h"

namespace zsfmod {
namespace detail {

bool ReadItLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadXmLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadS3mLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);
bool ReadModLayout(const std::vector<uint8_t>& file, ModuleLayout* out, std::string* error);

// Channels a MOD's tag (the 4 bytes at 1080) gives, as the engine reads it; 0 for
// no tag it knows (the old 15-sample layout), -8 for FLT8.
int ModChannelsOfTag(const uint8_t* tag);

// Bytes of the compressed blocks of FRAMES points per channel, starting at OFFSET.
bool ItCompressedExtent(const std::vector<uint8_t>& file, uint32_t offset, uint32_t frames,
                        uint8_t bits, uint8_t channels, uint32_t* bytes, std::string* error);
// Decompresses SAMPLE (2.14 or 2.15 by its encoding) into planar signed PCM.
bool ItDecompress(const std::vector<uint8_t>& file, const SampleLayout& sample,
                  std::vector<uint8_t>* pcm, std::string* error);

// A fixed-width text field up to its first NUL.
std::string Text(const uint8_t* p, size_t width);
bool Fail(std::string* error, const std::string& what);
// Fails when a sample's data leaves the file or two samples' data overlap.
bool CheckExtents(const ModuleLayout& layout, size_t fileSize, const char* format,
                  std::string* error);

}  // namespace detail
}  // namespace zsfmod
