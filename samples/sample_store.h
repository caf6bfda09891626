// SampleStore: the per-song holder of a ZSP pack's loaded entries.
#pragma once
#include <cstdint>
#include <memory>

#include "samples/sample_record.h"

struct SampleStore {
  uint8_t scrambled;      // scramble flag of the last pack header read
  uint8_t major;          // version of the last pack read
  uint8_t minor;
  int32_t key;            // descrambling key, -49..49; 0 = none
  uint32_t loaded;        // 1 once a pack has been read, 0 after release
  uint32_t entryCount;    // slots the pack declares
  uint32_t heldCount;     // records in entries: the slots the list reached
  SampleRecord* entries;  // heldCount records, slot order; the slots after them are empty
  // Wanted coded entries of the last pack read that decoded to fewer bytes than
  // declared: damaged data, or a scrambled pack read with the wrong key (the only
  // sign of a wrong password the format gives).
  uint32_t codedShortfalls;
};

// The record of slot INDEX (below entryCount): one of entries, or an empty record for
// a slot the list never reached.
const SampleRecord& SampleStoreSlot(const SampleStore* store, uint32_t index);

SampleStore* SampleStoreCreate();
void SampleStoreDestroy(SampleStore* store);
// key = passwordKey as signed 32-bit, remainder by 50 with the dividend's sign.
void SampleStoreSetKey(SampleStore* store, uint32_t passwordKey);
// The key SampleStoreSetKey derives from a PasswordKey (-49..49).
int32_t SampleStoreKeyFromPasswordKey(uint32_t passwordKey);
// 1 when nothing is loaded; otherwise frees every entry and returns 0.
uint32_t SampleStoreRelease(SampleStore* store);

// A store held by its owner: destroyed (entries and all) when the owner goes.
struct SampleStoreDestroyer {
  void operator()(SampleStore* store) const { SampleStoreDestroy(store); }
};
using SampleStoreOwner = std::unique_ptr<SampleStore, SampleStoreDestroyer>;
