// Why a song does not load or rebuild, in words: the Song itself only answers 0 or
// 1, so zsftool looks at the file again to name the step and the reason.
#pragma once
#include <string>

class Song;

// The reason a Song::LoadFile of PATH failed (PASSWORD_GIVEN: a key was set).
std::string DescribeLoadFailure(const std::string& path, bool passwordGiven);
// The reason BuildModuleImage of the loaded SONG failed.
std::string DescribeRebuildFailure(const Song& song);
// "2.2"
std::string VersionText(unsigned major, unsigned minor);
