#include "host/output_device.h"

namespace {

std::atomic<OutputDevice*> gDevice{nullptr};
std::atomic<bool> gHold{false};
std::atomic<int> gFlushes{0};
std::atomic<int> gLastFlushMs{-1};

char gDescription[] = "zsfplay output";

int Open(int rate, int channels, int bits, int bufferMs, int prebufferMs) {
  OutputDevice* d = gDevice.load();
  return d ? d->Open(rate, channels, bits, bufferMs, prebufferMs) : -1;
}
void Close() {
  if (OutputDevice* d = gDevice.load()) d->Close();
}
int Write(char* buf, int len) {
  OutputDevice* d = gDevice.load();
  return d ? d->Write(buf, len) : 1;
}
int CanWrite() {
  OutputDevice* d = gDevice.load();
  if (!d || gHold.load()) return 0;
  return d->CanWrite();
}
int IsPlaying() {
  OutputDevice* d = gDevice.load();
  return d ? d->IsPlaying() : 0;
}
int Pause(int pause) {
  OutputDevice* d = gDevice.load();
  return d ? d->Pause(pause) : 0;
}
void SetVolume(int volume) {
  if (OutputDevice* d = gDevice.load()) d->SetVolume(volume);
}
void SetPan(int pan) {
  if (OutputDevice* d = gDevice.load()) d->SetPan(pan);
}
void Flush(int ms) {
  if (OutputDevice* d = gDevice.load()) d->Flush(ms);
  gLastFlushMs.store(ms);
  gFlushes.fetch_add(1);
}
int GetOutputTime() {
  OutputDevice* d = gDevice.load();
  return d ? d->GetOutputTime() : 0;
}
int GetWrittenTime() {
  OutputDevice* d = gDevice.load();
  return d ? d->GetWrittenTime() : 0;
}
void NoWindow(HostWindow) {}
void Nothing() {}

Out_Module gRecord = [] {
  Out_Module r{};
  r.version = 0x10;
  r.description = gDescription;
  r.id = 0x7a5f;
  r.Config = NoWindow;
  r.About = NoWindow;
  r.Init = Nothing;
  r.Quit = Nothing;
  r.Open = Open;
  r.Close = Close;
  r.Write = Write;
  r.CanWrite = CanWrite;
  r.IsPlaying = IsPlaying;
  r.Pause = Pause;
  r.SetVolume = SetVolume;
  r.SetPan = SetPan;
  r.Flush = Flush;
  r.GetOutputTime = GetOutputTime;
  r.GetWrittenTime = GetWrittenTime;
  return r;
}();

}  // namespace

Out_Module* OutputBridge::Attach(OutputDevice* device, HostWindow window) {
  gDevice.store(device);
  gRecord.hMainWindow = window;
  return &gRecord;
}

Out_Module* OutputBridge::Record() { return &gRecord; }

void OutputBridge::SetHold(bool hold) { gHold.store(hold); }

int OutputBridge::FlushCount() { return gFlushes.load(); }

int OutputBridge::LastFlushMs() { return gLastFlushMs.load(); }
