// What the user names to `zsftool pack` and `collect` (module files and folders)
// turned into the list of modules to pack: in a stable order, each with a song
// name that no other module's song takes.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "tools/pack/module_packer.h"

namespace zsfpack {

struct ModuleListing {
  std::vector<ModuleSource> modules;  // in packing order, each with its song stem
  std::vector<PackError> unreadable;  // named paths, files and folders that cannot be read
  size_t passedOver = 0;              // files under the folders that hold no module
};

// A named file is taken as it is (the packer says why one is no module). A folder
// is walked recursively; of its files, those whose content is a module are taken,
// in the byte order of their paths. Names beginning with "." are passed over,
// links to folders are not followed, and a file reached twice is taken once.
void ListModules(const std::vector<std::string>& paths, ModuleListing* out);

// Gives every module a song stem that no other takes, ignoring ASCII case as many
// file systems do: its file's name, else that name with "-2", "-3", ... appended,
// in list order.
void NameSongsApart(std::vector<ModuleSource>* modules);

}  // namespace zsfpack
