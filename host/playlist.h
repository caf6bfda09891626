// Names on zsfplay's command line: whether they exist, and the WAV file name a song
// gets when it is written to a folder.
#pragma once
#include <string>

// The file a NAME refers to: the name itself, or for a collection address
// ("zgm://FILE,N", "FILE,N") the collection file.
std::string FileOfName(const std::string& name);
// "tune" for "music/tune.zsf"; "set-2" for "zgm://music/set.zgm,2".
std::string SongBaseName(const std::string& name);
// Whether -o names a folder: it ends in '/' or is an existing folder.
bool IsFolderTarget(const std::string& output);
// FOLDER/BASE.wav, with "-2", "-3"... added while that name was already USED in
// this run (two songs of the same name must not overwrite each other).
std::string WavPathIn(const std::string& folder, const std::string& base, int used);
