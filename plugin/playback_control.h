// Playback control: the dispatch of Play to a song file or a collection, and the
// host's small control slots.
#pragma once

// 0 = playing, 1 = failed.
int Play(const char* name);

void Pause();
void UnPause();
int IsPaused();
void Stop();
int GetLength();
int GetOutputTime();
void SetOutputTime(int ms);
void SetVolume(int volume);
void SetPan(int pan);
