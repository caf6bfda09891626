#include "container/song_body.h"

#include <cstdlib>

void ReleaseSongBody(SongBody* body) {
  if (body->records) {
    for (uint32_t i = 0; i < body->sampleCount; ++i) std::free(body->records[i].data);
  }
  std::free(body->records);
  std::free(body->structure);
  std::free(body->sampleSizes);
  std::free(body->sampleOffsets);
  *body = SongBody{};
}
