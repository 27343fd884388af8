// FindFirstChangeNotificationW behind FileWatch: one notification handle on
// the parent of the file's directory, over its whole subtree, so that the
// directory's creation and removal and every change of the file are
// signalled. Windows signals changes of the last-write time as the system
// records them; a write whose data is still only in the cache is seen a
// little later.
#include "platform/file_watch.h"

#include <windows.h>

namespace nuv {
namespace platform {
namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_ATTRIBUTES;

std::u16string Parent(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

class ChangeNotificationWatch : public FileWatch {
 public:
  explicit ChangeNotificationWatch(HANDLE handle) : handle_(handle) {}
  ~ChangeNotificationWatch() override { FindCloseChangeNotification(handle_); }

  bool TakeChanged() override {
    if (WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0)
      return false;
    FindNextChangeNotification(handle_);
    return true;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<FileWatch> FileWatch::Create(const std::u16string& path) {
  std::u16string parent = Parent(Parent(path));
  if (parent.empty())
    return nullptr;
  if (parent.back() == u':')
    parent += u'\\';  // a drive's root, not its current directory
  HANDLE handle = FindFirstChangeNotificationW(reinterpret_cast<const wchar_t*>(parent.c_str()),
                                               TRUE, kChanges);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  return std::make_unique<ChangeNotificationWatch>(handle);
}

}  // namespace platform
}  // namespace nuv
