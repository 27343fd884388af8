// Helpers of the Windows tests of the common library: a scratch directory,
// raw file bytes, per-user registry values and child processes, all on
// Win32 directly.
#ifndef NUV_TESTS_WIN_COMMON_WIN_TEST_UTIL_H_
#define NUV_TESTS_WIN_COMMON_WIN_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nuv_win_test {

// Wide text of UTF-8 and back, for paths and output.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A fresh directory under the user's temp directory, removed with its
// content on destruction. Paths use backslashes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string Utf16Le(const std::u16string& text);

// The directory of the running test program, ending in a backslash.
std::string TestBinDir();

// HKEY_CURRENT_USER\Software\<product>: one value of any type, and the whole
// key removed again.
bool SetUserValue(const std::string& product,
                  const std::string& name,
                  uint32_t type,
                  const std::string& data);
void DeleteUserKey(const std::string& product);

struct ChildResult {
  int exit_code = -1000;  // -1000: the child could not be run
  uint32_t process_id = 0;
  std::string output;  // its standard output, raw
};

// Runs `program` with `args`, each quoted, with `env` set for the child.
ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace nuv_win_test

#endif  // NUV_TESTS_WIN_COMMON_WIN_TEST_UTIL_H_
