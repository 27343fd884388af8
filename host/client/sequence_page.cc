#include "host/client/sequence_page.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <random>

#include "host/client/html_text.h"
#include "host/client/sequence_page_style.h"

namespace nuv {
namespace host {
namespace {

// Geometry of the diagram, in CSS pixels.
constexpr int kAxisX = 92;
constexpr int kLifelineX[] = {300, 620, 940};
constexpr int kWidth = 1200;
constexpr int kHeadTop = 8;
constexpr int kHeadHeight = 28;
constexpr int kFirstRowY = 66;
constexpr int kRowSpacing = 26;
// Rows are spaced by order, not to scale: a pause adds a little room (more
// for longer pauses), and one of at least kGapNoteMicros is written on the
// axis.
constexpr int kMaxPauseRoom = 48;
constexpr int64_t kGapNoteMicros = 10000;

const char* const kLifelineNames[] = {"client", "render process", "host window"};
const char* const kLifelineKeys[] = {"client", "render", "hostWindow"};

int LifelineX(Lifeline lifeline) {
  return kLifelineX[static_cast<int>(lifeline)];
}

std::string Milliseconds(int64_t micros) {
  char text[48];
  snprintf(text, sizeof(text), "%.3f ms", static_cast<double>(micros) / 1000.0);
  return text;
}

int PauseRoom(int64_t pause) {
  if (pause <= 1000)
    return 0;
  const double room = 6 + 12 * std::log10(static_cast<double>(pause) / 1000.0);
  return std::min(kMaxPauseRoom, static_cast<int>(room));
}

// A value for the page's Content-Security-Policy that lets only our own
// script run, even if some text were ever to slip through unescaped.
std::string MakeNonce() {
  std::random_device random;
  char text[33];
  snprintf(text, sizeof(text), "%08x%08x%08x%08x", random(), random(), random(), random());
  return text;
}

class DiagramWriter {
 public:
  explicit DiagramWriter(std::ostream& out) : out_(out) {}

  void Write(const std::vector<SequenceRow>& rows) {
    std::vector<int> ys;
    int y = kFirstRowY;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i > 0)
        y += kRowSpacing + PauseRoom(rows[i].time - rows[i - 1].time);
      ys.push_back(y);
    }
    const int bottom = (ys.empty() ? kFirstRowY : ys.back()) + kRowSpacing;
    const int height = bottom + kHeadHeight + 2 * kHeadTop;
    out_ << "<svg id=\"diagram\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
         << "\" height=\"" << height << "\" viewBox=\"0 0 " << kWidth << ' ' << height
         << "\" role=\"img\" aria-label=\"sequence diagram\">\n";
    Markers();
    Lifelines(bottom);
    Axis(rows, ys, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
      Row(rows[i], i, ys[i]);
    out_ << "</svg>\n";
  }

 private:
  void Markers() {
    out_ << "<defs>";
    for (const char* kind : {"send", "message", "request", "reply"}) {
      out_ << "<marker id=\"head-" << kind
           << "\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" markerWidth=\"8\" "
              "markerHeight=\"8\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" "
              "style=\"fill: var(--"
           << kind << ")\"/></marker>";
    }
    out_ << "</defs>\n";
  }

  void Head(int lifeline, int top) {
    const int x = kLifelineX[lifeline];
    out_ << "<g class=\"head\"><rect x=\"" << x - 70 << "\" y=\"" << top
         << "\" width=\"140\" height=\"" << kHeadHeight << "\" rx=\"4\"/><text x=\"" << x
         << "\" y=\"" << top + 18 << "\">" << kLifelineNames[lifeline] << "</text></g>";
  }

  void Lifelines(int bottom) {
    for (int lifeline = 0; lifeline < 3; ++lifeline) {
      const int x = kLifelineX[lifeline];
      out_ << "<g class=\"lifeline\" data-lifeline=\"" << kLifelineKeys[lifeline]
           << "\" data-name=\"" << kLifelineNames[lifeline] << "\">";
      Head(lifeline, kHeadTop);
      out_ << "<line x1=\"" << x << "\" y1=\"" << kHeadTop + kHeadHeight << "\" x2=\"" << x
           << "\" y2=\"" << bottom << "\"/>";
      Head(lifeline, bottom);
      out_ << "</g>\n";
    }
  }

  // A tick with the time of every row, and the length of long pauses.
  void Axis(const std::vector<SequenceRow>& rows, const std::vector<int>& ys, int bottom) {
    out_ << "<g class=\"axis\" data-unit=\"ms\"><line x1=\"" << kAxisX << "\" y1=\""
         << kFirstRowY - 12 << "\" x2=\"" << kAxisX << "\" y2=\"" << bottom << "\"/>"
         << "<text x=\"" << kAxisX + 4 << "\" y=\"" << kFirstRowY - 16
         << "\" style=\"text-anchor: middle\">time</text>\n";
    for (size_t i = 0; i < rows.size(); ++i) {
      const int y = ys[i];
      if (i > 0 && rows[i].time - rows[i - 1].time >= kGapNoteMicros) {
        out_ << "<text class=\"gap\" x=\"" << kAxisX - 6 << "\" y=\"" << (ys[i - 1] + y) / 2 + 4
             << "\">+" << Milliseconds(rows[i].time - rows[i - 1].time) << "</text>";
      }
      out_ << "<g class=\"tick\" data-time=\"" << rows[i].time << "\"><line x1=\"" << kAxisX - 4
           << "\" y1=\"" << y << "\" x2=\"" << kAxisX << "\" y2=\"" << y << "\"/><text x=\""
           << kAxisX - 7 << "\" y=\"" << y + 4 << "\">" << Milliseconds(rows[i].time)
           << "</text></g>\n";
    }
    out_ << "</g>\n";
  }

  void Text(const SequenceRow& row, int x, int y, const char* anchor) {
    out_ << "<text x=\"" << x << "\" y=\"" << y << "\" style=\"text-anchor: " << anchor
         << "\"><tspan class=\"label\">" << EscapeHtml(row.label) << "</tspan>";
    if (!row.note.empty())
      out_ << "<tspan class=\"note\" dx=\"6\">" << EscapeHtml(row.note) << "</tspan>";
    out_ << "</text>";
  }

  void Row(const SequenceRow& row, size_t index, int y) {
    out_ << "<g class=\"row " << (row.arrow ? "arrow" : "mark") << " k-" << EscapeHtml(row.kind)
         << (row.trouble ? " trouble" : "") << (row.quiet ? " quiet" : "") << "\" id=\"row-"
         << index << "\" data-row=\"" << index << "\" data-kind=\"" << EscapeHtml(row.kind)
         << "\" data-time=\"" << row.time << "\" tabindex=\"0\"><rect class=\"band\" x=\"" << kAxisX
         << "\" y=\"" << y - kRowSpacing / 2 - 3 << "\" width=\"" << kWidth - kAxisX
         << "\" height=\"" << kRowSpacing << "\"/>";
    const int from = LifelineX(row.from);
    if (row.arrow) {
      const int to = LifelineX(row.to);
      const int end = to > from ? to - 1 : to + 1;
      out_ << "<line class=\"hit\" x1=\"" << from << "\" y1=\"" << y << "\" x2=\"" << to
           << "\" y2=\"" << y << "\"/><line class=\"line\" x1=\"" << from << "\" y1=\"" << y
           << "\" x2=\"" << end << "\" y2=\"" << y << "\" marker-end=\"url(#head-"
           << EscapeHtml(row.kind) << ")\"/>";
      Text(row, (from + to) / 2, y - 5, "middle");
    } else {
      out_ << "<circle cx=\"" << from << "\" cy=\"" << y << "\" r=\"4\"/>";
      if (row.from == Lifeline::kClient)
        Text(row, from - 9, y + 4, "end");
      else
        Text(row, from + 9, y + 4, "start");
    }
    out_ << "</g>\n";
  }

  std::ostream& out_;
};

void WriteHeader(const SequencePage& page, std::ostream& out) {
  out << "<header><h1>" << EscapeHtml(page.title) << "</h1><p class=\"summary\">"
      << EscapeHtml(page.summary) << "</p>";
  if (!page.omitted.empty())
    out << "<p class=\"omitted\">" << EscapeHtml(page.omitted) << "</p>";
  out << "<p class=\"legend\"><span><b style=\"color: var(--send)\"></b>message to the render "
         "process</span><span><b style=\"color: var(--message)\"></b>message to the "
         "client</span><span><b style=\"color: var(--request)\"></b>bridge request</span>"
         "<span><b style=\"color: var(--reply); border-top-style: dashed\"></b>reply</span>"
         "<span>rows in time order, spaced by order, not to scale</span></p></header>\n";
}

void WritePayloads(const std::vector<SequenceRow>& rows, std::ostream& out) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const SequenceRow& row = rows[i];
    out << "<template id=\"payload-" << i << "\"><p class=\"meta\">" << EscapeHtml(row.kind)
        << " · " << kLifelineNames[static_cast<int>(row.from)];
    if (row.arrow)
      out << " → " << kLifelineNames[static_cast<int>(row.to)];
    out << " · " << Milliseconds(row.time) << "</p><pre>" << EscapeHtml(row.payload)
        << "</pre></template>\n";
  }
}

void WriteLog(const SequencePage& page, std::ostream& out) {
  if (page.log_lines.empty() && page.log_note.empty())
    return;
  out << "<details id=\"log\"><summary>log file and stderr: " << page.log_lines.size()
      << " lines</summary><pre>";
  for (const std::string& line : page.log_lines)
    out << EscapeHtml(line) << '\n';
  if (!page.log_note.empty())
    out << EscapeHtml(page.log_note) << '\n';
  out << "</pre></details>\n";
}

}  // namespace

bool WriteSequencePage(const SequencePage& page, std::ostream& out) {
  const std::string nonce = MakeNonce();
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'; script-src 'nonce-"
      << nonce << "'\">\n<title>" << EscapeHtml(page.title) << "</title>\n<style>"
      << kSequencePageStyle << "</style></head>\n<body>\n";
  WriteHeader(page, out);
  out << "<main>\n";
  DiagramWriter(out).Write(page.rows);
  out << "</main>\n<aside id=\"panel\"><h2 id=\"panel-title\">Payload</h2><div "
         "id=\"panel-body\"><p class=\"meta\">Hover over an arrow or a mark to see what it "
         "carried; a click keeps it here.</p></div></aside>\n";
  WriteLog(page, out);
  WritePayloads(page.rows, out);
  out << "<script nonce=\"" << nonce << "\">" << kSequencePageScript << "</script>\n"
      << "</body></html>\n";
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace host
}  // namespace nuv
