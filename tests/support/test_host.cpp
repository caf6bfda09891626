#include "support/test_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/build_paths.h"

namespace zsftest {

namespace {

bool gHostAlive = false;

void PostMessage(void*, unsigned message, uintptr_t, intptr_t) {
  if (message == kWmWaMpegEof) HostRecord::CountEnd();
}
PlatformWindow gWindow{PostMessage};

}  // namespace

TestHost::TestHost(const Options& options) {
  if (gHostAlive) {
    error_ = "another TestHost is alive; the callbacks' recording is process-wide";
    return;
  }
  gHostAlive = owner_ = true;
  Reset();
  registryPath_ = options.registryPath.empty() ? dir_->file("registry.reg") : options.registryPath;
  registryEnv_ = std::make_unique<EnvGuard>("ZSF_REGISTRY", registryPath_.c_str());
  const std::string copy = dir_->file("in_zsf.so");
  std::error_code ec;
  std::filesystem::copy_file(ZSF_PLUGIN_PATH, copy, ec);
  library_ = ec ? nullptr : dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto get = library_ ? reinterpret_cast<GetInModuleFn>(dlsym(library_, kInModuleExport)) : nullptr;
  if (!get || !(record_ = get())) {
    const char* why = dlerror();
    error_ = ec ? "cannot copy the plug-in: " + ec.message() : why ? why : "no record from the export";
    return;
  }
  FillPlayerSide(record_, &gWindow, library_);
}

TestHost::~TestHost() {
  if (!owner_) return;
  if (playing_ && record_) record_->Stop();
  if (initialised_ && record_) record_->Quit();
  if (library_) dlclose(library_);
  Reset();
  gHostAlive = false;
}

void TestHost::Init() {
  if (record_) record_->Init();
  initialised_ = true;
}

void TestHost::Quit() {
  if (record_) record_->Quit();
  initialised_ = false;
}

int TestHost::Play(const std::string& name) {
  if (!record_) return 1;
  playing_ = true;
  return record_->Play(name.c_str());
}

void TestHost::Stop() {
  if (record_) record_->Stop();
  playing_ = false;
}

std::vector<uint8_t> TestHost::PlayToEnd(const std::string& name, int seekMs) {
  if (seekMs >= 0) SetFreeBytes(0);
  if (Play(name) != 0) return {};
  if (seekMs >= 0) {
    record_->SetOutputTime(seekMs);
    EXPECT_TRUE(WaitUntil([&] { return !Flushes().empty() && Flushes().back() == seekMs; }));
    SetFreeBytes(1 << 20);
  }
  EXPECT_TRUE(WaitForEndMessages(1));
  Stop();
  return WrittenSinceOpen();
}

}  // namespace zsftest
