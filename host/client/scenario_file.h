// A scenario file kept open while its scenario runs, so that the runner can
// read each step back when it plays it instead of holding the text of every
// step: a run of 100,000 steps then holds 16 bytes a step, not the file.
// The file must stay as it was read: once its size or modification time
// differ, reading a step fails with the reason instead of playing what the
// file now holds.
#ifndef NUV_HOST_CLIENT_SCENARIO_FILE_H_
#define NUV_HOST_CLIENT_SCENARIO_FILE_H_

#include <sys/stat.h>

#include <cstddef>
#include <memory>
#include <string>

namespace nuv {
namespace host {

class ScenarioFile {
 public:
  // Opens the file at `path` and reads all of it into *text; null with
  // errno set when it cannot (a folder gives EISDIR).
  static std::unique_ptr<ScenarioFile> Open(const std::string& path, std::string* text);
  ~ScenarioFile();
  ScenarioFile(const ScenarioFile&) = delete;
  ScenarioFile& operator=(const ScenarioFile&) = delete;

  // The bytes [begin, end) of the file as it was read; false with the
  // reason when they cannot be read or the file has changed since.
  bool Read(size_t begin, size_t end, std::string* out, std::string* error) const;

 private:
  ScenarioFile(int fd, const struct stat& read_as) : fd_(fd), read_as_(read_as) {}

  int fd_;
  struct stat read_as_;  // size and modification time when it was read
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SCENARIO_FILE_H_
