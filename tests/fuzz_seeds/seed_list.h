// The seed inputs of the fuzz targets: real, valid examples of what each
// target parses (configuration files, substitution tables, value records,
// reply packets, IPC frames, command lines), taken from what the tests,
// the examples and the product itself use. The short fuzz runs of the test
// suite start from them.
#ifndef NUV_TESTS_FUZZ_SEEDS_SEED_LIST_H_
#define NUV_TESTS_FUZZ_SEEDS_SEED_LIST_H_

#include <string>
#include <vector>

namespace nuv_seeds {

struct Seed {
  std::string target;  // the fuzz target's name, also its folder
  std::string name;    // the file name within that folder
  std::string bytes;
};

// The seeds of the common library's targets: text decoding, the INI reader,
// the substitution table and FormatText.
void AddCommonSeeds(std::vector<Seed>* seeds);
// The seeds of the value and bridge targets: record texts and reply packets.
void AddRecordSeeds(std::vector<Seed>* seeds);
// The seeds of the runtime's targets: IPC frames and command-line texts.
void AddRuntimeSeeds(std::vector<Seed>* seeds);

// `text` as UTF-16LE bytes, without a mark.
std::string Utf16Le(const std::u16string& text);
// `value` as four little-endian bytes.
std::string Le32(uint32_t value);

}  // namespace nuv_seeds

#endif  // NUV_TESTS_FUZZ_SEEDS_SEED_LIST_H_
