// Where a song's sample pack lies: beside the song, in the song's own folder.
#pragma once
#include <string>

// The folder part of SOURCE_PATH (up to and including its last backslash, else its
// last slash, else nothing) followed by PACK_NAME. False when the result would be
// longer than the 199 characters a path may have (nothing is truncated: a cut
// path could name another file).
bool ComposePackPath(const std::string& sourcePath, const std::string& packName,
                     std::string* packPath);
