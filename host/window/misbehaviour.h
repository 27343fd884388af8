// How the host window answers a request when the configuration asks it to
// misbehave on purpose: late, not at all, with raw bytes instead of a record,
// under another key, twice, with another kind, or by dying. A client
// developer uses it to see what the sub-process does with a host window that
// is slow, wrong or gone. Format in docs/host-window.md.
#ifndef NUV_HOST_WINDOW_MISBEHAVIOUR_H_
#define NUV_HOST_WINDOW_MISBEHAVIOUR_H_

#include <cstdint>
#include <string>

#include <json/json.h>

namespace nuv {
namespace host {

// One header field of a stray reply: absolute, or relative to the request's.
struct ReplyField {
  bool relative = true;
  int64_t value = 0;  // the field itself, or what is added to the request's

  int32_t Apply(int32_t request_value) const;
};

struct Misbehaviour {
  // Sleep this long inside the request before answering (interrupted when
  // the host window stops).
  int delay_ms = 0;
  // Return from the request without sending a reply.
  bool no_reply = false;
  // Send these bytes as the reply text instead of the configured answer.
  bool has_reply_text = false;
  std::string reply_text;
  // Put the zero byte after the reply text (false: the packet ends with it).
  bool terminator = true;
  // Send the reply under another browser id and/or request id.
  ReplyField reply_browser;
  ReplyField reply_request;
  // Send the reply to the helper window last seen for another browser
  // instead of the one named in the request's wParam.
  bool reply_to_window_of = false;
  int32_t reply_window_browser = 0;
  // Send the same reply this many extra times.
  int duplicates = 0;
  // dwData of the reply (0 is a reply; anything else is not).
  uint64_t reply_kind = 0;
  // The host window's process dies inside the request.
  bool exit_on_request = false;

  // True when anything differs from a well-behaved answer.
  bool any() const;
  // "delayMs 200, noReply", for logs and transcripts; empty when none.
  std::string Describe() const;
};

// Upper bounds of what a configuration may ask for.
constexpr int kMaxDelayMs = 600000;
constexpr int kMaxDuplicateReplies = 16;
constexpr size_t kMaxReplyTextBytes = 128u * 1024u * 1024u;

// The members a misbehaving entry may carry besides its value.
extern const char* const kMisbehaviourMembers[];

// True when `spec` (a property, method or named-object list written as an
// object) carries any misbehaviour member.
bool HasMisbehaviourMembers(const Json::Value& spec);

// Reads the misbehaviour members of `spec`. False with *error (naming the
// member and what it allows) when one is malformed.
bool ParseMisbehaviour(const Json::Value& spec, Misbehaviour* out, std::string* error);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_MISBEHAVIOUR_H_
