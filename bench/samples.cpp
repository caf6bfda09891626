// Sample pack speed: loading a compressed pack against bare LZO decoding of the
// same blocks (goal: at least 0.9 of it), coded entries against a bare libvorbis
// loop (goal: at least 0.95; "ratio" of BM_VorbisRatio, the two alternating in one
// measurement), and derivation throughput (scaled: 200 MB/s or more).
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <time.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "container/byte_stream.h"
#include "samples/coded_sample.h"
#include "samples/sample_derivation.h"
#include "samples/sample_store.h"
#include "samples/zsp_reader.h"
#include "samples/zsp_writer.h"

namespace {

constexpr uint32_t kPackEntries = 64;
constexpr uint32_t kEntryBytes = 1u << 20;  // 64 x 1 MiB of PCM

// 16-bit PCM that compresses like real samples do: a tone with a little noise.
std::vector<uint8_t> TonePcm(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    seed = seed * 1664525u + 1013904223u;
    const int v = static_cast<int>(8000 * std::sin(i * 0.01)) + static_cast<int>(seed >> 29);
    out[i] = static_cast<uint8_t>(v);
    out[i + 1] = static_cast<uint8_t>(v >> 8);
  }
  return out;
}

struct CompressedPack {
  std::vector<uint8_t> pack;
  std::vector<std::vector<uint8_t>> blocks;  // the same LZO blocks, bare
};

const CompressedPack& Pack() {
  static const CompressedPack pack = [] {
    CompressedPack p;
    std::vector<ZspEntry> entries(kPackEntries);
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    lzo_init();
    for (uint32_t i = 0; i < kPackEntries; ++i) {
      entries[i].kind = ZspEntry::Kind::Pcm;
      entries[i].pcm = TonePcm(kEntryBytes, i);
      std::vector<uint8_t> block(kEntryBytes + kEntryBytes / 16 + 67);
      lzo_uint n = block.size();
      lzo1x_1_compress(entries[i].pcm.data(), kEntryBytes, block.data(), &n, work.data());
      block.resize(n);
      p.blocks.push_back(std::move(block));
    }
    ZspWriteOptions o;
    o.compress = true;
    o.smallest = false;
    std::string error;
    WriteZsp(entries, o, &p.pack, &error);
    return p;
  }();
  return pack;
}

void BM_PackLoadCompressed(benchmark::State& state) {
  const CompressedPack& p = Pack();
  for (auto _ : state) {
    ByteStream* s = StreamOpenMemory(p.pack.data(), static_cast<uint32_t>(p.pack.size()), 0);
    SampleStore* store = SampleStoreCreate();
    if (SampleStoreLoad(store, s, nullptr, 0) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(store->entries[0].data);
    SampleStoreDestroy(store);
    StreamClose(s);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kPackEntries} * kEntryBytes);
}
BENCHMARK(BM_PackLoadCompressed)->Unit(benchmark::kMillisecond);

// The bare decoder producing what a load produces: one fresh buffer per entry, all
// of them held until the end, as the store holds its entries.
void BM_BareLzoDecompress(benchmark::State& state) {
  const CompressedPack& p = Pack();
  std::vector<uint8_t*> outputs(p.blocks.size());
  for (auto _ : state) {
    for (size_t i = 0; i < p.blocks.size(); ++i) {
      outputs[i] = static_cast<uint8_t*>(std::malloc(kEntryBytes));
      lzo_uint n = kEntryBytes;
      lzo1x_decompress_safe(p.blocks[i].data(), p.blocks[i].size(), outputs[i], &n, nullptr);
      benchmark::DoNotOptimize(outputs[i]);
    }
    for (uint8_t* out : outputs) std::free(out);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kPackEntries} * kEntryBytes);
}
BENCHMARK(BM_BareLzoDecompress)->Unit(benchmark::kMillisecond);

// For reference: decoding into one warm buffer, which no load can do.
void BM_BareLzoDecompressWarm(benchmark::State& state) {
  const CompressedPack& p = Pack();
  std::vector<uint8_t> out(kEntryBytes);
  for (auto _ : state) {
    for (const auto& block : p.blocks) {
      lzo_uint n = out.size();
      lzo1x_decompress_safe(block.data(), block.size(), out.data(), &n, nullptr);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kPackEntries} * kEntryBytes);
}
BENCHMARK(BM_BareLzoDecompressWarm)->Unit(benchmark::kMillisecond);

const std::vector<uint8_t>& CodedStream() {
  static const std::vector<uint8_t> ogg = [] {
    std::vector<uint8_t> pcm = TonePcm(44100 * 4 * 10, 7);  // 10 s of 16-bit stereo
    std::vector<uint8_t> out;
    std::string error;
    EncodeVorbis(pcm, 16, 2, 0.4f, 1, &out, &error);
    return out;
  }();
  return ogg;
}

// What a pack load does with a coded entry: a buffer of the declared length (10 s of
// 16-bit stereo), the entry decoded and converted into it. Returns the bytes made.
int64_t DecodeOnce() {
  const auto& ogg = CodedStream();
  constexpr uint32_t kDeclared = 44100 * 4 * 10;
  auto* pcm = static_cast<uint8_t*>(std::malloc(kDeclared));
  uint32_t produced = 0;
  DecodeCodedSampleInto(static_cast<uint32_t>(ogg.size()), ogg.data(), 16, pcm, kDeclared, &produced);
  benchmark::DoNotOptimize(pcm);
  std::free(pcm);
  return produced;
}

// The plain libvorbis loop over the same data: synthesis only, the samples touched
// but not converted or stored. Returns the bytes 16-bit output would take.
int64_t BareDecodeOnce() {
  const auto& ogg = CodedStream();
  int64_t bytes = 0;
  ogg_sync_state oy;
  ogg_stream_state os;
  ogg_page og;
  ogg_packet op;
  vorbis_info vi;
  vorbis_comment vc;
  vorbis_dsp_state vd;
  vorbis_block vb;
  ogg_sync_init(&oy);
  char* buffer = ogg_sync_buffer(&oy, static_cast<long>(ogg.size()));
  std::memcpy(buffer, ogg.data(), ogg.size());
  ogg_sync_wrote(&oy, static_cast<long>(ogg.size()));
  ogg_sync_pageout(&oy, &og);
  ogg_stream_init(&os, ogg_page_serialno(&og));
  vorbis_info_init(&vi);
  vorbis_comment_init(&vc);
  ogg_stream_pagein(&os, &og);
  int headers = 0;
  bool started = false;
  float sink = 0;
  do {
    while (ogg_stream_packetout(&os, &op) == 1) {
      if (headers < 3) {
        vorbis_synthesis_headerin(&vi, &vc, &op);
        if (++headers == 3) {
          vorbis_synthesis_init(&vd, &vi);
          vorbis_block_init(&vd, &vb);
          started = true;
        }
        continue;
      }
      if (vorbis_synthesis(&vb, &op) == 0) vorbis_synthesis_blockin(&vd, &vb);
      float** pcm;
      int n;
      while ((n = vorbis_synthesis_pcmout(&vd, &pcm)) > 0) {
        sink += pcm[0][0] + pcm[vi.channels - 1][n - 1];
        bytes += int64_t{n} * vi.channels * 2;
        vorbis_synthesis_read(&vd, n);
      }
    }
  } while (ogg_sync_pageout(&oy, &og) == 1 && ogg_stream_pagein(&os, &og) == 0);
  benchmark::DoNotOptimize(sink);
  if (started) {
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
  }
  ogg_stream_clear(&os);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  ogg_sync_clear(&oy);
  return bytes;
}

void BM_DecodeCodedSample(benchmark::State& state) {
  int64_t bytes = 0;
  for (auto _ : state) bytes += DecodeOnce();
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DecodeCodedSample)->Unit(benchmark::kMillisecond);

void BM_BareVorbisDecode(benchmark::State& state) {
  int64_t bytes = 0;
  for (auto _ : state) bytes += BareDecodeOnce();
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_BareVorbisDecode)->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The two above alternating in one measurement, in this thread's CPU time, so that
// other work on the machine hits both alike: "ratio" is our throughput / the bare one.
void BM_VorbisRatio(benchmark::State& state) {
  double ours = 0, bare = 0;
  bool oursFirst = true;
  for (auto _ : state) {
    oursFirst = !oursFirst;
    for (int pass = 0; pass < 2; ++pass) {
      const bool oursNow = (pass == 0) == oursFirst;
      const double t0 = ThreadSeconds();
      if (oursNow) {
        DecodeOnce();
      } else {
        BareDecodeOnce();
      }
      (oursNow ? ours : bare) += ThreadSeconds() - t0;
    }
  }
  if (ours > 0 && bare > 0) state.counters["ratio"] = bare / ours;
}
BENCHMARK(BM_VorbisRatio)->Unit(benchmark::kMillisecond)->MinTime(3.0);

SampleStore* DerivationStore() {
  static SampleStore* store = [] {
    std::vector<ZspEntry> entries(1);
    entries[0].kind = ZspEntry::Kind::Pcm;
    entries[0].pcm = TonePcm(16u << 20, 3);
    entries[0].bits = 16;
    std::vector<uint8_t> pack;
    std::string error;
    WriteZsp(entries, ZspWriteOptions{}, &pack, &error);
    ByteStream* s = StreamOpenMemory(pack.data(), static_cast<uint32_t>(pack.size()), 0);
    SampleStore* st = SampleStoreCreate();
    SampleStoreLoad(st, s, nullptr, 0);
    StreamClose(s);
    return st;
  }();
  return store;
}

// Arguments: transform, volume percent (version 1) or 0 for the version-2 gain 0.8.
void BM_Derive(benchmark::State& state) {
  SampleStore* store = DerivationStore();
  const auto transform = static_cast<uint8_t>(state.range(0));
  const auto volume = static_cast<uint8_t>(state.range(1));
  const uint32_t size = store->entries[0].size;
  for (auto _ : state) {
    DerivedSample out;
    uint32_t rc = volume ? DeriveSample(store, &out, 0, transform, size / 2, volume)
                         : DeriveSampleFromSource(store, &out, 0, transform, size / 2, 0, 0.8f, nullptr);
    if (rc != 0) state.SkipWithError("derivation failed");
    benchmark::DoNotOptimize(out.data);
    std::free(out.data);
  }
  const uint32_t produced = transform == 2 || transform == 4 ? size / 2 : size;
  state.SetBytesProcessed(state.iterations() * int64_t{produced});
}
BENCHMARK(BM_Derive)
    ->Args({0, 100})  // the plain block copy
    ->Args({0, 50})
    ->Args({1, 80})
    ->Args({2, 80})
    ->Args({4, 80})
    ->Args({0, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
