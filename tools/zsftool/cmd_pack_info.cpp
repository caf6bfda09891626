// zsftool pack-info: lists the slots of a ZSP sample pack as SampleStoreLoad reads
// them, optionally with a password, a wanted list, and the loaded data dumped.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "container/failure.h"
#include "platform/file_replace.h"
#include "samples/sample_store.h"
#include "samples/zsp_format.h"
#include "samples/zsp_reader.h"
#include "tools/zsftool/zsftool.h"
#include "ui/password.h"

namespace {

struct PackInfoOptions {
  std::string pack;
  std::string password;
  bool hasPassword = false;
  std::vector<uint32_t> want;
  bool hasWant = false;
  std::string dump;
};

bool IsEmptySlot(const SampleRecord& r) {
  return !r.coded && !r.data && r.size == 0 && r.fullSize == 0 && r.storedSize == 0 && !r.bits &&
         !r.aux8 && !r.aux32 && !r.name30[0] && !r.name26[0];
}

int PackInfo(const PackInfoOptions& o) {
  const std::string& file = o.pack;
  StreamOwner stream(StreamOpenFile(file.c_str()));
  if (!stream) return zsftool::Fail(file + ": open: " + std::strerror(errno));

  SampleStoreOwner store(SampleStoreCreate());
  if (!store) return zsftool::Fail(file + ": load: out of memory");
  if (o.hasPassword) {
    std::string text = o.password;
    SampleStoreSetKey(store.get(), HashPassword(text.data(), static_cast<uint32_t>(text.size())));
  }
  if (o.want.size() > 65535) return zsftool::Fail(file + ": --want: at most 65535 entries");
  Failure refused;
  const uint32_t rc = SampleStoreLoad(store.get(), stream.get(), o.hasWant ? o.want.data() : nullptr,
                                      static_cast<uint16_t>(o.want.size()), &refused);
  if (rc != 0) return zsftool::Fail(file, refused);

  // The header once more, for what the store does not keep: whether entries are compressed.
  uint8_t head[8] = {};
  StreamSeek(0, stream.get());
  const int32_t got = StreamRead(head, sizeof head, stream.get());
  if (got < 6) return zsftool::Fail(file + ": header: the file ends inside the header");
  const uint8_t major = store->major, minor = store->minor;
  const bool compressed = head[ZspHasScrambleFlag(major, minor) ? 7 : 6] != 0;

  std::printf("%-6s %-6s %4s %4s %10s %10s %10s %10s %-6s %s\n", "slot", "kind", "bits", "attr",
              "value", "stored", "full", "size", "loaded", "names");
  uint32_t pcm = 0, coded = 0, empty = 0, loaded = 0;
  uint64_t loadedBytes = 0;
  for (uint32_t i = 0; i < store->heldCount; ++i) {
    const SampleRecord& r = store->entries[i];
    if (IsEmptySlot(r)) {
      ++empty;
      std::printf("%-6u empty\n", i);
      continue;
    }
    r.coded ? ++coded : ++pcm;
    if (r.data) {
      ++loaded;
      loadedBytes += r.size;
    }
    std::printf("%-6u %-6s %4u %4u %10" PRIu32 " %10" PRIu32 " %10" PRIu32 " %10" PRIu32
                " %-6s \"%s\" \"%s\"\n",
                i, r.coded ? "coded" : "PCM", r.bits, r.aux8, r.aux32, r.storedSize, r.fullSize,
                r.size, r.data ? "yes" : "no", r.name30, r.name26);
  }
  // A list that ends before its count leaves the remaining slots empty: one line.
  if (store->entryCount > store->heldCount) {
    empty += store->entryCount - store->heldCount;
    std::printf("%-6u empty, to slot %u (the list ends early)\n", store->heldCount, store->entryCount - 1);
  }
  std::printf("%s: version %u.%u, %u slots: %u PCM, %u coded, %u empty; %u loaded (%" PRIu64
              " bytes); %s, %s\n",
              file.c_str(), major, minor, store->entryCount, pcm, coded, empty, loaded, loadedBytes,
              compressed ? "LZO-compressed" : "not compressed",
              !store->scrambled ? "not scrambled"
              : store->key    ? "scrambled (descrambled with the password)"
                              : "scrambled (no usable password: data as stored)");

  if (!o.dump.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.dump, ec);
    if (ec) return zsftool::Fail(o.dump + ": dump: " + ec.message());
    for (uint32_t i = 0; i < store->heldCount; ++i) {
      const SampleRecord& r = store->entries[i];
      if (!r.data) continue;
      char name[32];
      std::snprintf(name, sizeof name, "%04u.raw", i);
      const std::string path = o.dump + "/" + name;
      // A dump may land on files of an earlier one: each is replaced whole or not at all.
      int error = 0;
      if (WriteWholeFile(path.c_str(), r.data, r.size, &error) != 0)
        return zsftool::Fail(path + ": dump: " + std::strerror(error));
    }
  }
  return 0;
}

}  // namespace

ZSF_TOOL_COMMAND(pack_info) {
  auto options = std::make_shared<PackInfoOptions>();
  CLI::App* cmd = app.add_subcommand("pack-info", "List the slots of a ZSP sample pack");
  cmd->add_option("pack", options->pack, "The sample pack (PACK.zsp)")->required();
  auto* password = cmd->add_option("--password", options->password,
                                   "Password that descrambles a protected pack");
  auto* want = cmd->add_option("--want", options->want, "Load only these slots, e.g. 0,3,7")
                   ->delimiter(',');
  cmd->add_option("--dump", options->dump, "Write each loaded entry's data to DIR/NNNN.raw");
  cmd->callback([options, password, want, &exitCode] {
    options->hasPassword = password->count() > 0;
    options->hasWant = want->count() > 0;
    exitCode = PackInfo(*options);
  });
}
