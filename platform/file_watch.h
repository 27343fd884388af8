// Change notification for one file that may come and go: tells a caller
// that keeps something read from the file whether it has to read it again,
// without touching the file system on every question. inotify on POSIX,
// FindFirstChangeNotificationW on Windows.
#ifndef NUV_PLATFORM_FILE_WATCH_H_
#define NUV_PLATFORM_FILE_WATCH_H_

#include <memory>
#include <string>

namespace nuv {
namespace platform {

class FileWatch {
 public:
  // Watches `path`, its directory and that directory's parent, so that the
  // file (and its directory) being created, written, replaced, renamed or
  // removed is noticed. Null when the system gives no notification for
  // them (the caller then looks at the file itself each time).
  static std::unique_ptr<FileWatch> Create(const std::u16string& path);

  virtual ~FileWatch() = default;

  // True when something may have changed the file since the last call that
  // returned true (or since Create). May answer true for changes that did
  // not touch the file; never false after a change that completed before
  // the call (POSIX; on Windows as soon as the system has signalled it).
  // Not thread-safe: one caller at a time.
  virtual bool TakeChanged() = 0;
};

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_FILE_WATCH_H_
