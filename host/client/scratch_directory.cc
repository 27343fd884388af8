#include "host/client/scratch_directory.h"

#include <ftw.h>
#include <stdlib.h>

#include <cstdio>

namespace nuv {
namespace host {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

}  // namespace

ScratchDirectory::ScratchDirectory(const std::string& prefix) {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  if (mkdtemp(&pattern[0]))
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  if (!path_.empty())
    nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace host
}  // namespace nuv
