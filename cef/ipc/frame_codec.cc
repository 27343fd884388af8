#include "cef/ipc/frame_codec.h"

#include <cstring>

namespace cefipc {

namespace {

// Which optional fields a kind carries, in wire order.
struct Layout {
  bool browser_id = false;
  bool frame_id = false;
  bool name = false;
  bool flag = false;
  bool text = false;
  bool result = false;
  bool args = false;
  bool ack = false;  // ack_sequence + status
};

bool LayoutOf(FrameKind kind, Layout* layout) {
  Layout l;
  switch (kind) {
    case FrameKind::kBrowserCreated:
    case FrameKind::kBrowserDestroyed:
      l.browser_id = true;
      break;
    case FrameKind::kContextCreated:
      l.browser_id = l.frame_id = l.flag = l.name = l.text = true;
      break;
    case FrameKind::kContextReleased:
      l.browser_id = l.frame_id = true;
      break;
    case FrameKind::kRunScript:
      l.browser_id = l.frame_id = l.text = true;
      break;
    case FrameKind::kProcessMessage:
    case FrameKind::kMessageToBrowser:
      l.browser_id = l.name = l.args = true;
      break;
    case FrameKind::kCollectGarbage:
    case FrameKind::kEnd:
      break;
    case FrameKind::kHello:
      l.ack = true;  // protocol version in ack_sequence, status unused (0)
      l.browser_id = true;
      break;
    case FrameKind::kDocumentCommand:
      l.browser_id = l.frame_id = l.name = l.flag = l.text = l.result = true;
      break;
    case FrameKind::kAck:
      l.ack = l.text = true;
      break;
    case FrameKind::kError:
      l.text = true;
      break;
    default:
      return false;
  }
  *layout = l;
  return true;
}

// Size of a value on the wire, or false when it nests too deep.
bool ValueSize(const WireValue& value, int depth, uint64_t* size);

bool ListSize(const WireList& list, int depth, uint64_t* size) {
  if (depth > kMaxListDepth)
    return false;
  *size += 4;
  for (const WireValue& v : list) {
    if (!ValueSize(v, depth, size))
      return false;
  }
  return true;
}

bool ValueSize(const WireValue& value, int depth, uint64_t* size) {
  *size += 1;
  switch (value.type()) {
    case WireValue::Type::kNull:
      return true;
    case WireValue::Type::kBool:
      *size += 1;
      return true;
    case WireValue::Type::kInt:
      *size += 4;
      return true;
    case WireValue::Type::kDouble:
      *size += 8;
      return true;
    case WireValue::Type::kString:
      *size += 4 + 2 * static_cast<uint64_t>(value.GetString().size());
      return true;
    case WireValue::Type::kList:
      return ListSize(value.GetList(), depth + 1, size);
  }
  return false;
}

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>* out) : out_(out) {}
  void U8(uint8_t v) { out_->push_back(v); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out_->push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i)
      out_->push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Text(const std::u16string& text) {
    U32(static_cast<uint32_t>(text.size()));
    // Room for the whole text at once, then filled in place: a text of
    // thousands of units is the usual result of a command.
    const size_t at = out_->size();
    out_->resize(at + 2 * text.size());
    uint8_t* to = out_->data() + at;
    for (char16_t c : text) {
      *to++ = static_cast<uint8_t>(c & 0xFF);
      *to++ = static_cast<uint8_t>(c >> 8);
    }
  }
  void Value(const WireValue& value) {
    U8(static_cast<uint8_t>(value.type()));
    switch (value.type()) {
      case WireValue::Type::kNull:
        break;
      case WireValue::Type::kBool:
        U8(value.GetBool() ? 1 : 0);
        break;
      case WireValue::Type::kInt:
        U32(static_cast<uint32_t>(value.GetInt()));
        break;
      case WireValue::Type::kDouble: {
        const double d = value.GetDouble();
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof(bits));
        U64(bits);
        break;
      }
      case WireValue::Type::kString:
        Text(value.GetString());
        break;
      case WireValue::Type::kList:
        List(value.GetList());
        break;
    }
  }
  void List(const WireList& list) {
    U32(static_cast<uint32_t>(list.size()));
    for (const WireValue& v : list)
      Value(v);
  }

 private:
  std::vector<uint8_t>* out_;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool at_end() const { return pos_ == size_; }
  void Fail(const std::string& why) {
    if (error_.empty())
      error_ = why;
  }

  uint8_t U8(const char* what) {
    if (!Need(1, what))
      return 0;
    return data_[pos_++];
  }
  uint32_t U32(const char* what) {
    if (!Need(4, what))
      return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return v;
  }
  uint64_t U64(const char* what) {
    if (!Need(8, what))
      return 0;
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
      v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 8;
    return v;
  }
  bool Bool(const char* what) {
    const uint8_t v = U8(what);
    if (v > 1)
      Fail(std::string("boolean ") + what + " is neither 0 nor 1");
    return v == 1;
  }
  std::u16string Text(const char* what) {
    const uint32_t count = U32(what);
    std::u16string text;
    if (!ok())
      return text;
    // Compare against what is left before allocating: a forged count must
    // not reserve gigabytes.
    if (count > (size_ - pos_) / 2) {
      Fail(std::string("text ") + what + " runs past the end of the frame");
      return text;
    }
    text.resize(count);
    for (uint32_t i = 0; i < count; ++i)
      text[i] = static_cast<char16_t>(data_[pos_ + 2 * i] | (data_[pos_ + 2 * i + 1] << 8));
    pos_ += 2 * static_cast<size_t>(count);
    return text;
  }
  WireList List(int depth) {
    WireList list;
    if (depth > kMaxListDepth) {
      Fail("lists nest deeper than " + std::to_string(kMaxListDepth));
      return list;
    }
    const uint32_t count = U32("list count");
    if (!ok())
      return list;
    // Every value takes at least its one-byte tag.
    if (count > size_ - pos_) {
      Fail("list count runs past the end of the frame");
      return list;
    }
    list.reserve(count);
    for (uint32_t i = 0; i < count && ok(); ++i)
      list.push_back(Value(depth));
    return list;
  }
  WireValue Value(int depth) {
    const uint8_t tag = U8("value tag");
    if (!ok())
      return WireValue();
    switch (static_cast<WireValue::Type>(tag)) {
      case WireValue::Type::kNull:
        return WireValue();
      case WireValue::Type::kBool:
        return WireValue::Bool(Bool("value"));
      case WireValue::Type::kInt:
        return WireValue::Int(static_cast<int32_t>(U32("int value")));
      case WireValue::Type::kDouble: {
        const uint64_t bits = U64("double value");
        double d;
        std::memcpy(&d, &bits, sizeof(d));
        return WireValue::Double(d);
      }
      case WireValue::Type::kString:
        return WireValue::String(Text("string value"));
      case WireValue::Type::kList:
        return WireValue::List(List(depth + 1));
    }
    Fail("unknown value tag " + std::to_string(tag));
    return WireValue();
  }

 private:
  bool Need(size_t n, const char* what) {
    if (!ok())
      return false;
    if (size_ - pos_ < n) {
      Fail(std::string("frame ends inside ") + what);
      return false;
    }
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

bool EncodeFrame(const Frame& frame, std::vector<uint8_t>* out, std::string* error) {
  Layout layout;
  if (!LayoutOf(frame.kind, &layout)) {
    *error = "cannot encode a frame of unknown kind " +
             std::to_string(static_cast<unsigned>(frame.kind));
    return false;
  }
  uint64_t size = kFrameHeaderSize;
  if (layout.browser_id)
    size += 4;
  if (layout.frame_id)
    size += 8;
  if (layout.name)
    size += 4 + 2 * static_cast<uint64_t>(frame.name.size());
  if (layout.flag)
    size += 1;
  if (layout.text)
    size += 4 + 2 * static_cast<uint64_t>(frame.text.size());
  if (layout.result)
    size += 1;
  if (layout.ack)
    size += 5;
  if (layout.args && !ListSize(frame.args, 1, &size)) {
    *error = "arguments nest deeper than " + std::to_string(kMaxListDepth);
    return false;
  }
  if (size > kMaxFrameBodySize) {
    *error = std::string(FrameKindName(frame.kind)) + " frame of " + std::to_string(size) +
             " bytes exceeds the limit of " + std::to_string(kMaxFrameBodySize);
    return false;
  }

  out->reserve(out->size() + kLengthPrefixSize + size);
  Writer w(out);
  w.U32(static_cast<uint32_t>(size));
  w.U8(static_cast<uint8_t>(frame.kind));
  w.U32(frame.sequence);
  if (layout.ack) {
    w.U32(frame.ack_sequence);
    w.U8(static_cast<uint8_t>(frame.status));
  }
  if (layout.browser_id)
    w.U32(static_cast<uint32_t>(frame.browser_id));
  if (layout.frame_id)
    w.U64(static_cast<uint64_t>(frame.frame_id));
  if (layout.flag)
    w.U8(frame.flag ? 1 : 0);
  if (layout.name)
    w.Text(frame.name);
  if (layout.text)
    w.Text(frame.text);
  if (layout.result)
    w.U8(frame.result ? 1 : 0);
  if (layout.args)
    w.List(frame.args);
  return true;
}

bool DecodeFrameBody(const uint8_t* data,
                     size_t size,
                     Frame* frame,
                     bool* sequence_known,
                     std::string* error) {
  *sequence_known = false;
  *frame = Frame();
  if (size < kFrameHeaderSize) {
    *error = "frame of " + std::to_string(size) + " bytes is shorter than its header";
    return false;
  }
  Reader r(data, size);
  const uint8_t kind = r.U8("kind");
  frame->sequence = r.U32("sequence");
  frame->kind = static_cast<FrameKind>(kind);
  *sequence_known = true;

  Layout layout;
  if (!LayoutOf(frame->kind, &layout)) {
    *error = "unknown frame kind " + std::to_string(kind);
    return false;
  }
  if (layout.ack) {
    frame->ack_sequence = r.U32("acknowledged sequence");
    const uint8_t status = r.U8("status");
    if (status > static_cast<uint8_t>(AckStatus::kRefused))
      r.Fail("unknown status " + std::to_string(status));
    frame->status = static_cast<AckStatus>(status);
  }
  if (layout.browser_id)
    frame->browser_id = static_cast<int32_t>(r.U32("browser id"));
  if (layout.frame_id)
    frame->frame_id = static_cast<int64_t>(r.U64("frame id"));
  if (layout.flag)
    frame->flag = r.Bool("flag");
  if (layout.name)
    frame->name = r.Text("name");
  if (layout.text)
    frame->text = r.Text("text");
  if (layout.result)
    frame->result = r.Bool("result");
  if (layout.args)
    frame->args = r.List(1);
  if (r.ok() && !r.at_end())
    r.Fail("trailing bytes after the fields");
  if (!r.ok()) {
    *error = std::string(FrameKindName(frame->kind)) + " frame: " + r.error();
    return false;
  }
  return true;
}

void FrameSplitter::Append(const uint8_t* data, size_t size) {
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > (1u << 20) && start_ > buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

FrameSplitter::Result FrameSplitter::Next(std::vector<uint8_t>* body, uint32_t* announced_length) {
  const size_t available = buffer_.size() - start_;
  if (available < kLengthPrefixSize)
    return Result::kNeedMore;
  const uint8_t* p = buffer_.data() + start_;
  const uint32_t length = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                          (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  *announced_length = length;
  if (length > kMaxFrameBodySize)
    return Result::kOversized;
  if (available - kLengthPrefixSize < length)
    return Result::kNeedMore;
  body->assign(p + kLengthPrefixSize, p + kLengthPrefixSize + length);
  start_ += kLengthPrefixSize + length;
  return Result::kBody;
}

}  // namespace cefipc
