#include "host/client/scenario_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nuv {
namespace host {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Appends what is left of `fd` to *text; false with errno set.
bool ReadRest(int fd, std::string* text) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0)
      text->append(buffer, static_cast<size_t>(n));
    else if (n == 0)
      return true;
    else if (errno != EINTR)
      return false;
  }
}

}  // namespace

std::unique_ptr<ScenarioFile> ScenarioFile::Open(const std::string& path, std::string* text) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  struct stat read_as;
  const bool known = fstat(fd, &read_as) == 0;
  if (known && S_ISREG(read_as.st_mode))
    text->reserve(static_cast<size_t>(read_as.st_size));
  if (!known || !ReadRest(fd, text)) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return nullptr;
  }
  return std::unique_ptr<ScenarioFile>(new ScenarioFile(fd, read_as));
}

ScenarioFile::~ScenarioFile() {
  close(fd_);
}

bool ScenarioFile::Read(size_t begin, size_t end, std::string* out, std::string* error) const {
  struct stat now;
  if (fstat(fd_, &now) != 0 || !SameFile(now, read_as_)) {
    *error = "the scenario file has changed since the run began";
    return false;
  }
  out->assign(end - begin, '\0');
  size_t done = 0;
  while (done < out->size()) {
    const ssize_t n =
        pread(fd_, &(*out)[done], out->size() - done, static_cast<off_t>(begin + done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      *error = std::string("the scenario file cannot be read again: ") +
               (n == 0 ? "it is shorter" : std::strerror(errno));
      return false;
    }
  }
  return true;
}

}  // namespace host
}  // namespace nuv
