// The size of an open file in 64 bits, whatever the C library's own offsets hold.
#pragma once
#include <cstdint>
#include <cstdio>

// True and *SIZE set when FILE's size can be asked of the system.
bool OpenFileSize(std::FILE* file, uint64_t* size);
