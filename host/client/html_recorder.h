// Turns the events of a run's transcript into the --html page
// (sequence_page.h): which lifeline each event belongs to, its label, and
// its payload decoded for a person (value records and argument texts as
// pretty JSON). Fed the same events as the trace recorder.
//
// The page stays bounded however long the run: at most kMaxRows events are
// drawn, each payload is cut at kMaxPayloadBytes, payloads stop being kept
// once they take kPayloadBudget bytes of the page, and at most kMaxLogLines
// lines of the log are kept; the page says what it left out.
#ifndef NUV_HOST_CLIENT_HTML_RECORDER_H_
#define NUV_HOST_CLIENT_HTML_RECORDER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include <json/value.h>

#include "host/client/sequence_page.h"

namespace nuv {
namespace host {

class HtmlRecorder {
 public:
  static constexpr size_t kMaxRows = 5000;
  static constexpr size_t kMaxPayloadBytes = 8192;
  // Counted as written into the page, escaped.
  static constexpr size_t kPayloadBudget = 8 << 20;
  static constexpr size_t kMaxLogLines = 2000;
  static constexpr size_t kMaxLogLineBytes = 500;

  explicit HtmlRecorder(const std::string& title);

  // Called with every transcript event, in transcript order.
  void Observe(const Json::Value& event);

  // The page as it stands: rows in time order, the summary filled in.
  SequencePage Finish() const;

  // Writes Finish() to `out`; false when it could not be written.
  bool Write(std::ostream& out) const;

 private:
  void AddRow(SequenceRow row, const Json::Value& event);
  void AddLogLine(const std::string& line);
  std::string Summary() const;

  SequencePage page_;
  std::map<std::string, size_t> counts_;  // events of each kind, drawn or not
  size_t omitted_rows_ = 0;
  size_t payload_bytes_ = 0;
  size_t omitted_log_lines_ = 0;
  int64_t last_time_ = 0;
  std::string exit_status_;
};

// The payload shown for `event`: the event as pretty JSON, every text
// member that holds JSON (value records, argument lists) decoded in place,
// packet bytes cut to a preview, and the whole cut at `max_bytes` with a
// note.
std::string DecodedPayload(const Json::Value& event, size_t max_bytes);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_HTML_RECORDER_H_
