// The --html page: one self-contained HTML file (inline CSS, inline SVG, a
// small inline script, nothing loaded from anywhere) with a sequence diagram
// of a run. Three lifelines (client, render process, host window); a row per
// event, top to bottom in time order, either an arrow between two lifelines
// or a mark on one; a time axis on the left. Each row's payload sits in a
// hidden element of the page; hovering over a row shows it in the side
// panel, a click pins it, and "#pin=N" in the address pins row N on load (the row whose id is
// "row-N").
#ifndef NUV_HOST_CLIENT_SEQUENCE_PAGE_H_
#define NUV_HOST_CLIENT_SEQUENCE_PAGE_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nuv {
namespace host {

enum class Lifeline { kClient = 0, kRender = 1, kHostWindow = 2 };

struct SequenceRow {
  // The transcript event's kind (send, message, request, reply, release,
  // step, ...): the row's data-kind.
  std::string kind;
  // An arrow from `from` to `to`, or a mark on `from`.
  bool arrow = false;
  Lifeline from = Lifeline::kClient;
  Lifeline to = Lifeline::kClient;
  std::string label;
  std::string note;      // smaller text beside the label, may be empty
  bool trouble = false;  // errors, timeouts, failed expectations, refusals
  bool quiet = false;    // shown lighter (expect steps)
  int64_t time = 0;      // µs since the run began
  std::string payload;   // the decoded event, already cut to size
};

struct SequencePage {
  std::string title;
  std::string summary;            // one line under the title
  std::vector<SequenceRow> rows;  // in the order they are drawn
  std::string omitted;            // why rows are missing, empty when none are
  std::vector<std::string> log_lines;
  std::string log_note;  // said under the log lines (e.g. that some were left out)
};

// Writes the whole page; false when it could not be written.
bool WriteSequencePage(const SequencePage& page, std::ostream& out);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SEQUENCE_PAGE_H_
