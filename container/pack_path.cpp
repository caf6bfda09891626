#include "container/pack_path.h"

#include "container/zsf_format.h"

bool ComposePackPath(const std::string& sourcePath, const std::string& packName,
                     std::string* packPath) {
  size_t separator = sourcePath.rfind('\\');
  if (separator == std::string::npos) separator = sourcePath.rfind('/');
  std::string composed =
      separator == std::string::npos ? packName : sourcePath.substr(0, separator + 1) + packName;
  if (composed.size() > kZsfMaxPathLength) return false;
  *packPath = std::move(composed);
  return true;
}
