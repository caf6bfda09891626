#include "host/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace {

void SAVSAInit(int, int) {}
void SAVSADeInit() {}
void SAAddPCMData(void*, int, int, int) {}
int SAGetMode() { return 0; }
int SAAdd(void*, int, int) { return 0; }
void VSAAddPCMData(void*, int, int, int) {}
int VSAGetMode(int* specChannels, int* waveChannels) {
  if (specChannels) *specChannels = 0;
  if (waveChannels) *waveChannels = 0;
  return 0;
}
int VSAAdd(void*, int) { return 0; }
void VSASetInfo(int, int) {}
int DspIsActive() { return 0; }
int DspDoSamples(short*, int frames, int, int, int) { return frames; }
// The player shows no bitrate or format line.
void SetInfo(int, int, int, int) {}

}  // namespace

PlayerWindow::PlayerWindow() { post_message = &PlayerWindow::Post; }

void PlayerWindow::Post(void* window, unsigned message, uintptr_t, intptr_t lparam) {
  if (!window) return;
  auto* self = static_cast<PlayerWindow*>(static_cast<PlatformWindow*>(window));
  if (message == kPlayRefusedMessage && lparam) {
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->refusal_ = reinterpret_cast<const char*>(lparam);  // lives only for this call
    return;
  }
  if (message != kWmWaMpegEof) return;
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    ++self->ends_;
  }
  self->arrived_.notify_all();
}

std::string PlayerWindow::TakeRefusal() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string refusal;
  refusal.swap(refusal_);
  return refusal;
}

int PlayerWindow::EndCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ends_;
}

bool PlayerWindow::WaitForEnd(int seen, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return ends_ > seen; });
}

LoadedPlugin::~LoadedPlugin() {
  // The library stays mapped until exit: its decode thread and static objects
  // must not lose their code under them.
}

bool LoadedPlugin::Load(const std::string& path, std::string* error) {
  // A name without a slash would be searched in the library path, not taken as given.
  std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  library_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    *error = path + ": cannot load the plug-in: " + (why ? why : "unknown error");
    return false;
  }
  auto get = reinterpret_cast<GetInModuleFn>(dlsym(library_, kInModuleExport));
  if (!get) {
    *error = path + ": not a plug-in: no " + kInModuleExport;
    return false;
  }
  record_ = get();
  if (!record_) {
    *error = path + ": the plug-in returned no module record";
    return false;
  }
  if (record_->version != 0x100) {
    *error = path + ": unsupported module record version " + std::to_string(record_->version);
    record_ = nullptr;
    return false;
  }
  record_->hMainWindow = &window_;
  record_->hDllInstance = library_;
  record_->SAVSAInit = SAVSAInit;
  record_->SAVSADeInit = SAVSADeInit;
  record_->SAAddPCMData = SAAddPCMData;
  record_->SAGetMode = SAGetMode;
  record_->SAAdd = SAAdd;
  record_->VSAAddPCMData = VSAAddPCMData;
  record_->VSAGetMode = VSAGetMode;
  record_->VSAAdd = VSAAdd;
  record_->VSASetInfo = VSASetInfo;
  record_->dsp_isactive = DspIsActive;
  record_->dsp_dosamples = DspDoSamples;
  record_->SetInfo = SetInfo;
  return true;
}

void LoadedPlugin::SetOutput(Out_Module* output) {
  if (record_) record_->outMod = output;
}

std::string FindPlugin(const std::string& installedDir, std::string* looked) {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  std::string exe = n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
  size_t slash = exe.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  const std::string candidates[] = {dir + "/in_zsf.so", dir + "/" + installedDir + "/in_zsf.so"};
  for (const std::string& path : candidates) {
    if (access(path.c_str(), R_OK) == 0) return path;
  }
  *looked = candidates[0] + " or " + candidates[1];
  return std::string();
}
