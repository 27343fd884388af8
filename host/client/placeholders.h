// What a scenario can refer to symbolically: the page callback identifiers
// that records seen so far carried, and the host window's handle.
//   ${callback}     the identifier of the latest "NuvValueV8Function" record
//   ${callback:N}   the N-th one seen (1-based) in this run
//   ${hostWindow}   the host window's handle, in decimal
//   ${hostWindow+2^32}, ${hostWindow-2^32}
//                   the handle plus or minus 2^32: other numbers with the
//                   same low 32 bits
#ifndef NUV_HOST_CLIENT_PLACEHOLDERS_H_
#define NUV_HOST_CLIENT_PLACEHOLDERS_H_

#include <cstdint>
#include <string>
#include <vector>

#include <json/value.h>

namespace nuv {
namespace host {

class Placeholders {
 public:
  void set_host_window(uint32_t handle) { host_window_ = handle; }

  // Notes every page callback record inside `text` when it is JSON (a result
  // text, a bridge request); other texts are ignored.
  void ScanText(const std::string& text);
  void ScanValue(const Json::Value& value);

  const std::vector<int64_t>& callbacks() const { return callbacks_; }

  // `text` with every placeholder replaced. False, with a message, for an
  // unknown placeholder or a callback that has not been seen yet.
  bool Expand(const std::string& text, std::string* out, std::string* error) const;

  // The same for every string inside a JSON value (message arguments).
  bool ExpandValue(const Json::Value& value, Json::Value* out, std::string* error) const;

 private:
  void Scan(const Json::Value& value, int depth);

  uint32_t host_window_ = 0;
  std::vector<int64_t> callbacks_;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_PLACEHOLDERS_H_
