// The handle of the library our code was loaded from, found at run time from the
// address of our own code, so a copy of the plug-in under any file name finds itself.
#pragma once

using ModuleHandle = void*;

// The handle of the library holding this function: its HMODULE on Windows, its
// dlopen handle elsewhere (the main program's when the code is linked into an
// executable); null if the loader knows nothing.
ModuleHandle CurrentModuleHandle();
