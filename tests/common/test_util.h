// Helpers of the common library's tests: scratch directories, raw file
// bytes, UTF-16LE byte strings and child processes.
#ifndef NUV_TESTS_COMMON_TEST_UTIL_H_
#define NUV_TESTS_COMMON_TEST_UTIL_H_

#include <string>
#include <utility>
#include <vector>

namespace nuv_test {

// A fresh directory under /tmp, removed with everything in it on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

std::string Utf16Le(const std::u16string& text);
std::u16string FromUtf16Le(const std::string& bytes);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);

// Directory of the running test program, ending in '/'.
std::string TestBinDir();

// Copies the probe program into `dir` and returns its path there.
std::string CopyProbe(const std::string& dir);

struct ChildResult {
  int exit_code = -1000;  // exit status, or -1000 when the child did not exit
  std::string output;     // its standard output
};

// Runs `program` with `args` (argv[1]...) and `env` added to this process's
// environment; waits for it.
ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace nuv_test

#endif  // NUV_TESTS_COMMON_TEST_UTIL_H_
