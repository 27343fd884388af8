#include "host/client/sequence_page_style.h"

namespace nuv {
namespace host {

const char kSequencePageStyle[] = R"css(
:root { --send: #1f6feb; --message: #1a7f37; --request: #8250df; --reply: #bc4c00;
        --mark: #57606a; --trouble: #cf222e; --panel: 420px; }
* { box-sizing: border-box; }
body { margin: 0; font: 13px/1.4 "DejaVu Sans", Arial, sans-serif; color: #1f2328;
       background: #fff; }
header { padding: 10px 16px 4px; margin-right: var(--panel); }
h1 { font-size: 17px; margin: 0 0 2px; }
.summary, .omitted, .legend { margin: 2px 0; color: #57606a; }
.omitted { color: var(--trouble); }
.legend span { margin-right: 14px; white-space: nowrap; }
.legend b { display: inline-block; width: 22px; height: 0; vertical-align: middle;
            border-top: 2px solid; margin-right: 4px; }
main { margin-right: var(--panel); overflow-x: auto; }
#panel { position: fixed; top: 0; right: 0; bottom: 0; width: var(--panel); overflow: auto;
         border-left: 1px solid #d0d7de; background: #f6f8fa; padding: 10px 14px; }
#panel h2 { font-size: 14px; margin: 0 0 6px; word-break: break-all; }
#panel pre, #log pre { font: 12px/1.35 "DejaVu Sans Mono", monospace; white-space: pre-wrap;
                       word-break: break-all; margin: 0; }
#panel .meta { margin: 0 0 6px; color: #57606a; }
#log { margin: 8px 16px 16px; margin-right: calc(var(--panel) + 16px); }
svg text { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 12px; fill: #1f2328; }
.head rect { fill: #f6f8fa; stroke: #57606a; }
.head text { font-weight: bold; text-anchor: middle; }
.lifeline line { stroke: #8c959f; stroke-dasharray: 4 4; }
.axis line { stroke: #8c959f; }
.axis text { font-size: 11px; fill: #57606a; text-anchor: end; }
.axis .gap { font-style: italic; fill: #9a6700; }
.row { cursor: pointer; outline: none; }
.row .band { fill: transparent; }
.row:hover .band, .row:focus .band { fill: #fff8c5; }
.row.pinned .band { fill: #ffe58f; }
.row .note { fill: #57606a; font-size: 11px; }
.arrow .line { stroke-width: 1.6; }
.arrow .hit { stroke: transparent; stroke-width: 12; }
.arrow .label { font-weight: 600; }
.k-send .line { stroke: var(--send); } .k-send .label { fill: var(--send); }
.k-message .line { stroke: var(--message); } .k-message .label { fill: var(--message); }
.k-request .line { stroke: var(--request); } .k-request .label { fill: var(--request); }
.k-reply .line { stroke: var(--reply); stroke-dasharray: 6 3; } .k-reply .label { fill: var(--reply); }
.mark circle { fill: var(--mark); }
.mark.k-step circle { fill: #fff; stroke: var(--mark); }
.mark.k-step .label { fill: #24292f; }
.quiet .label { fill: #8c959f !important; font-weight: normal; }
.trouble .label { fill: var(--trouble) !important; font-weight: 600; }
.trouble circle { fill: var(--trouble) !important; stroke: var(--trouble) !important; }
)css";

// Hover shows a row's payload, a click (or Enter) pins it, "#pin=N" in the
// address pins row N on load. Payloads are inert <template> elements of
// escaped text: they are copied into the panel, never parsed from strings.
const char kSequencePageScript[] = R"js(
(function () {
  'use strict';
  var title = document.getElementById('panel-title');
  var body = document.getElementById('panel-body');
  var pinned = null;
  function show(row) {
    var payload = document.getElementById('payload-' + row.dataset.row);
    title.textContent = row.querySelector('.label').textContent;
    body.replaceChildren(payload ? payload.content.cloneNode(true) : '');
  }
  function pin(row) {
    if (pinned) pinned.classList.remove('pinned');
    pinned = pinned === row ? null : row;
    if (pinned) {
      pinned.classList.add('pinned');
      show(pinned);
    }
  }
  document.querySelectorAll('#diagram .row').forEach(function (row) {
    row.addEventListener('mouseenter', function () { if (!pinned) show(row); });
    row.addEventListener('click', function () { pin(row); });
    row.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        pin(row);
      }
    });
  });
  var wanted = /^#pin=(\d+)$/.exec(location.hash);
  var row = wanted && document.getElementById('row-' + wanted[1]);
  if (row) {
    pin(row);
    var box = row.getBoundingClientRect();
    if (box.top < 0 || box.bottom > window.innerHeight)
      row.scrollIntoView({block: 'center'});
  }
})();
)js";

}  // namespace host
}  // namespace nuv
