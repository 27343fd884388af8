// Finds the elements of one array member of a top-level JSON object without
// building the document: a long scenario's "steps" can then be parsed one
// step at a time instead of as one large tree. Knows what jsoncpp reads in
// scenario files: strings with escapes, // and /* */ comments, nesting.
#ifndef NUV_HOST_CLIENT_JSON_STEPS_SPLITTER_H_
#define NUV_HOST_CLIENT_JSON_STEPS_SPLITTER_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace nuv {
namespace host {

struct ArraySpans {
  size_t begin = 0;                                 // the '[' of the array
  size_t end = 0;                                   // one past its ']'
  std::vector<std::pair<size_t, size_t>> elements;  // [begin, end) of each element
};

// True when `text` is an object whose member `name` (first occurrence)
// holds an array, with *spans filled in. False when the text is not of
// that shape or not well-formed as far as this scan sees; a full parse
// then gives the precise error.
bool SplitArrayMember(const std::string& text, const std::string& name, ArraySpans* spans);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_JSON_STEPS_SPLITTER_H_
