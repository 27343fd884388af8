// Fuzzes the IPC frame splitter and decoder with arbitrary streams: no
// crash, no unbounded allocation, and every frame that decodes encodes back
// to the very bytes it came from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cef/ipc/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cefipc::FrameSplitter splitter;
  splitter.Append(data, size);
  std::vector<uint8_t> body;
  uint32_t announced = 0;
  while (splitter.Next(&body, &announced) == cefipc::FrameSplitter::Result::kBody) {
    cefipc::Frame frame;
    bool sequence_known = false;
    std::string error;
    if (!cefipc::DecodeFrameBody(body.data(), body.size(), &frame, &sequence_known, &error))
      continue;
    std::vector<uint8_t> again;
    if (!cefipc::EncodeFrame(frame, &again, &error))
      abort();
    if (again.size() != body.size() + cefipc::kLengthPrefixSize ||
        !std::equal(body.begin(), body.end(), again.begin() + cefipc::kLengthPrefixSize))
      abort();
  }
  return 0;
}
