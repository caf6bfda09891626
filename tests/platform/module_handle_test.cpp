// CurrentModuleHandle finds the object our code is linked into; here that is the test
// program itself (the plug-in's own copy is exercised through dlopen in tests/plugin).
#include "platform/module_handle.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

TEST(ModuleHandle, LinkedIntoTheProgramGivesTheProgramsHandle) {
  ModuleHandle handle = CurrentModuleHandle();
  ASSERT_NE(handle, nullptr);
  void* program = dlopen(nullptr, RTLD_LAZY);
  EXPECT_EQ(handle, program);
  dlclose(program);
  EXPECT_EQ(CurrentModuleHandle(), handle);  // stable, and no reference piles up
}

}  // namespace
