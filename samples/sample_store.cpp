#include "samples/sample_store.h"

#include <cstdlib>

SampleStore* SampleStoreCreate() {
  return static_cast<SampleStore*>(std::calloc(1, sizeof(SampleStore)));
}

void SampleStoreDestroy(SampleStore* store) {
  if (!store) return;
  if (store->loaded) SampleStoreRelease(store);
  std::free(store->entries);
  std::free(store);
}

const SampleRecord& SampleStoreSlot(const SampleStore* store, uint32_t index) {
  static const SampleRecord kEmptySlot{};
  return index < store->heldCount ? store->entries[index] : kEmptySlot;
}

int32_t SampleStoreKeyFromPasswordKey(uint32_t passwordKey) {
  // C++ remainder keeps the dividend's sign, which is the rule: -103 gives -3.
  return static_cast<int32_t>(passwordKey) % 50;
}

void SampleStoreSetKey(SampleStore* store, uint32_t passwordKey) {
  store->key = SampleStoreKeyFromPasswordKey(passwordKey);
}

uint32_t SampleStoreRelease(SampleStore* store) {
  if (!store || !store->loaded) return 1;
  for (uint32_t i = 0; i < store->heldCount; ++i) std::free(store->entries[i].data);
  std::free(store->entries);
  store->entries = nullptr;
  store->entryCount = 0;
  store->heldCount = 0;
  store->loaded = 0;
  return 0;
}
