// The transcript of a scenario run: one event per line, in the order the
// events happened, either as compact JSON (for tools and tests) or as text
// for a person (--pretty). Every event is a JSON object whose "event" member
// names its kind; docs/scenarios.md lists the kinds and their members.
#ifndef NUV_HOST_CLIENT_TRANSCRIPT_H_
#define NUV_HOST_CLIENT_TRANSCRIPT_H_

#include <functional>
#include <ostream>
#include <string>
#include <utility>

#include <json/value.h>

namespace nuv {
namespace host {

class Transcript {
 public:
  Transcript(std::ostream* out, bool pretty) : out_(out), pretty_(pretty) {}

  // Writes one event at once and flushes, so a run that hangs still shows
  // everything up to that point.
  void Add(const Json::Value& event);

  // Also writes every event as a JSON line to `copy` (kept transcripts);
  // null stops that. `out` may be null when only the copy is wanted.
  void set_json_copy(std::ostream* copy) { json_copy_ = copy; }

  // Called (once) when `out` can no longer be written, e.g. when the
  // reader of a pipe went away.
  void set_on_output_lost(std::function<void()> callback) { on_output_lost_ = std::move(callback); }

  // Also hands every event to `observer` (the --trace recorder).
  void set_observer(std::function<void(const Json::Value&)> observer) {
    observer_ = std::move(observer);
  }

 private:
  std::ostream* out_;
  bool pretty_;
  std::ostream* json_copy_ = nullptr;
  std::function<void(const Json::Value&)> observer_;
  std::function<void()> on_output_lost_;
};

// The person-readable form of one event (without the line end).
std::string FormatEventForPerson(const Json::Value& event);

// Bytes as lower-case hex pairs separated by spaces.
std::string HexBytes(const std::string& bytes);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_TRANSCRIPT_H_
