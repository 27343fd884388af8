#include "src/common/substitution.h"

#include <cstdint>
#include <unordered_map>
#include <utility>

namespace {

bool Ignored(const CharacterSubstitution& entry) {
  return entry.to.empty() || entry.to.find(entry.from) != std::u16string::npos;
}

// Which entries change the text, found from character counts alone: the
// same decisions, in the same order, as applying the entries one by one.
// Only the characters that some entry replaces are counted. Returns the
// length of the result.
uint64_t FindAppliedEntries(const std::vector<CharacterSubstitution>& entries,
                            const std::u16string& text,
                            std::vector<const CharacterSubstitution*>* applied) {
  std::unordered_map<char16_t, uint64_t> counts;
  for (const CharacterSubstitution& entry : entries) {
    if (!Ignored(entry))
      counts.emplace(entry.from, 0);
  }
  if (counts.empty())
    return text.size();
  for (char16_t c : text) {
    auto found = counts.find(c);
    if (found != counts.end())
      ++found->second;
  }
  uint64_t length = text.size();
  for (const CharacterSubstitution& entry : entries) {
    if (Ignored(entry))
      continue;
    uint64_t& count = counts[entry.from];
    if (count == 0)
      continue;
    const uint64_t grown = length + count * (entry.to.size() - 1);
    if (entry.to.size() > 1 && grown > kMaxSubstitutedLength)
      continue;
    length = grown;
    const uint64_t replaced = count;
    count = 0;
    for (char16_t c : entry.to) {
      auto found = counts.find(c);
      if (found != counts.end())
        found->second += replaced;
    }
    applied->push_back(&entry);
  }
  return length;
}

// The composed expansions: a character either stands for itself or for a
// node, whose parts are characters or other nodes. A node is made only for
// a replacement of two or more parts (a single part is shared, not
// wrapped). A node is spelled out once; every later use copies the units
// its first use wrote, so the result is written at the cost of copying it
// plus one visit of each node's parts.
struct Part {
  enum Kind : uint8_t { kCharacter, kNode, kEndOfNode } kind;
  uint32_t value;  // the character, or the node's index
};

class Expansions {
 public:
  // Composes the applied entries from the last to the first: afterwards
  // Of(c) is what c becomes after all of them.
  explicit Expansions(const std::vector<const CharacterSubstitution*>& applied) {
    for (auto entry = applied.rbegin(); entry != applied.rend(); ++entry) {
      const std::u16string& to = (*entry)->to;
      if (to.size() == 1) {
        current_[(*entry)->from] = Of(to[0]);
        continue;
      }
      Node node;
      node.parts.reserve(to.size());
      for (char16_t c : to)
        node.parts.push_back(Of(c));
      nodes_.push_back(std::move(node));
      current_[(*entry)->from] = Part{Part::kNode, static_cast<uint32_t>(nodes_.size() - 1)};
    }
  }

  Part Of(char16_t c) const {
    auto found = current_.find(c);
    return found == current_.end() ? Part{Part::kCharacter, c} : found->second;
  }

  // Appends what `part` stands for to `out`, without recursion (chains of
  // nodes can be as deep as the list is long). `out` only grows while a
  // result is written, so where a node was first written stays valid.
  void Write(Part part, std::u16string& out) {
    stack_.assign(1, part);
    while (!stack_.empty()) {
      const Part top = stack_.back();
      stack_.pop_back();
      if (top.kind == Part::kCharacter) {
        out.push_back(static_cast<char16_t>(top.value));
        continue;
      }
      Node& node = nodes_[top.value];
      if (top.kind == Part::kEndOfNode) {
        node.length = out.size() - node.start;
        node.written = true;
      } else if (node.written) {
        out.append(out, node.start, node.length);
      } else {
        // A node never holds itself, so its first use is complete before
        // any later use begins.
        node.start = out.size();
        stack_.push_back(Part{Part::kEndOfNode, top.value});
        stack_.insert(stack_.end(), node.parts.rbegin(), node.parts.rend());
      }
    }
  }

 private:
  struct Node {
    std::vector<Part> parts;
    bool written = false;
    size_t start = 0;
    size_t length = 0;
  };

  std::unordered_map<char16_t, Part> current_;
  std::vector<Node> nodes_;
  std::vector<Part> stack_;
};

}  // namespace

void ApplySubstitutions(const std::vector<CharacterSubstitution>& entries, std::u16string& text) {
  std::vector<const CharacterSubstitution*> applied;
  const uint64_t length = FindAppliedEntries(entries, text, &applied);
  if (applied.empty())
    return;
  Expansions expansions(applied);
  std::u16string result;
  result.reserve(static_cast<size_t>(length));
  for (char16_t c : text) {
    const Part part = expansions.Of(c);
    if (part.kind == Part::kCharacter)
      result.push_back(static_cast<char16_t>(part.value));
    else
      expansions.Write(part, result);
  }
  text.swap(result);
}
