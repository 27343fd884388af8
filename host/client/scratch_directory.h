// A fresh directory under the system's temporary folder ($TMPDIR, else
// /tmp), removed with everything in it when its holder goes away. The
// client keeps the sub-process's log and stderr there.
#ifndef NUV_HOST_CLIENT_SCRATCH_DIRECTORY_H_
#define NUV_HOST_CLIENT_SCRATCH_DIRECTORY_H_

#include <string>

namespace nuv {
namespace host {

class ScratchDirectory {
 public:
  // Creates "<temp>/<prefix>-XXXXXX"; path() is empty when that failed.
  explicit ScratchDirectory(const std::string& prefix);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SCRATCH_DIRECTORY_H_
