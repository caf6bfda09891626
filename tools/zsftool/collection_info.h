// The listing `zsftool info` prints for a ZGM collection: every entry (position,
// kind, name, size) and, for each tune, its tags and stored length.
#pragma once
#include <string>

// Prints the listing of the collection at PATH to standard output. Returns 0, or 1
// after printing "zsftool: <path>: <step>: <reason>" to standard error.
int PrintCollectionInfo(const std::string& path);
