// Writes the seed inputs of the fuzz targets into one folder per target
// (tests/fuzz_seeds/<target>/), or checks that the checked-in files are
// exactly what it writes:
//   nuv_fuzz_seed_writer write DIR
//   nuv_fuzz_seed_writer check DIR
#include <sys/stat.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz_seeds/seed_list.h"

namespace {

using nuv_seeds::Seed;

std::vector<Seed> AllSeeds() {
  std::vector<Seed> seeds;
  nuv_seeds::AddCommonSeeds(&seeds);
  nuv_seeds::AddRecordSeeds(&seeds);
  nuv_seeds::AddRuntimeSeeds(&seeds);
  return seeds;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

bool Write(const std::string& dir, const std::vector<Seed>& seeds) {
  for (const Seed& seed : seeds) {
    const std::string folder = dir + "/" + seed.target;
    mkdir(folder.c_str(), 0755);
    std::ofstream file(folder + "/" + seed.name, std::ios::binary | std::ios::trunc);
    file.write(seed.bytes.data(), static_cast<std::streamsize>(seed.bytes.size()));
    if (!file) {
      std::cerr << "cannot write " << folder << "/" << seed.name << "\n";
      return false;
    }
  }
  std::cout << seeds.size() << " seeds written under " << dir << "\n";
  return true;
}

bool Check(const std::string& dir, const std::vector<Seed>& seeds) {
  int stale = 0;
  for (const Seed& seed : seeds) {
    const std::string path = dir + "/" + seed.target + "/" + seed.name;
    std::string bytes;
    if (!ReadFile(path, &bytes) || bytes != seed.bytes) {
      std::cerr << "missing or out of date: " << path << "\n";
      ++stale;
    }
  }
  if (stale) {
    std::cerr << stale << " seed file(s) differ; write them again with: nuv_fuzz_seed_writer write "
              << dir << "\n";
    return false;
  }
  std::cout << seeds.size() << " seeds under " << dir << " are current\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "write" && mode != "check") {
    std::cerr << "usage: nuv_fuzz_seed_writer write|check DIR\n";
    return 2;
  }
  const std::vector<Seed> seeds = AllSeeds();
  return (mode == "write" ? Write(argv[2], seeds) : Check(argv[2], seeds)) ? 0 : 1;
}
