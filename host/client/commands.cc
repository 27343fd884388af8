#include "host/client/commands.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

#include "host/client/html_recorder.h"
#include "host/client/interruption.h"
#include "host/client/scenario.h"
#include "host/client/scenario_runner.h"
#include "host/client/trace_recorder.h"
#include "host/client/transcript.h"

namespace nuv {
namespace host {
namespace {

// Creates `path` and its missing parents; false with the reason.
bool MakeDirectories(const std::string& path, std::string* error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = "cannot create " + part + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos)
      break;
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = path + " is not a folder";
    return false;
  }
  return true;
}

std::string Stem(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

struct Played {
  int code = kExitOk;
  std::string problem;  // why the run failed or could not be played
  RunVerdict verdict;
};

// Opens the file an output option names before the run, so that a path
// that cannot be written is a usage error, not a run lost at its end.
bool OpenOutput(const char* option, const std::string& path, std::ofstream* file, Played* played) {
  file->open(path, std::ios::trunc | std::ios::binary);
  if (*file)
    return true;
  played->code = kExitUsage;
  played->problem = std::string(option) + ": cannot write " + path + ": " + std::strerror(errno);
  return false;
}

// Loads and plays one scenario. `out` (may be null) gets the transcript.
Played Play(const std::string& path,
            const CommandOptions& options,
            const std::string& keep_dir,
            std::ostream* out) {
  Played played;
  Scenario scenario;
  std::string error;
  if (!LoadScenarioFile(path, &scenario, &error)) {
    played.code = kExitBadScenario;
    played.problem = "bad scenario: " + error;
    return played;
  }
  if (access(options.subprocess_path.c_str(), X_OK) != 0) {
    played.code = kExitStartFailed;
    played.problem =
        "cannot start the sub-process: " + options.subprocess_path + " is not an executable file";
    return played;
  }
  RunnerOptions runner_options;
  runner_options.subprocess_path = options.subprocess_path;
  std::ofstream kept_transcript;
  Transcript transcript(out, options.pretty);
  transcript.set_on_output_lost([] { interruption::Request(SIGPIPE); });
  if (!keep_dir.empty()) {
    if (!MakeDirectories(keep_dir, &error)) {
      played.code = kExitUsage;
      played.problem = "--keep: " + error;
      return played;
    }
    runner_options.keep_dir = keep_dir;
    kept_transcript.open(keep_dir + "/transcript.jsonl", std::ios::trunc);
    if (!kept_transcript) {
      played.code = kExitUsage;
      played.problem =
          "--keep: cannot write " + keep_dir + "/transcript.jsonl: " + std::strerror(errno);
      return played;
    }
    transcript.set_json_copy(&kept_transcript);
  }
  std::ofstream trace_file;
  std::unique_ptr<TraceRecorder> trace;
  std::ofstream html_file;
  std::unique_ptr<HtmlRecorder> html;
  const std::string title = path.substr(path.rfind('/') + 1);
  if (!options.trace_path.empty()) {
    if (!OpenOutput("--trace", options.trace_path, &trace_file, &played))
      return played;
    trace = std::make_unique<TraceRecorder>(title);
  }
  if (!options.html_path.empty()) {
    if (!OpenOutput("--html", options.html_path, &html_file, &played))
      return played;
    html = std::make_unique<HtmlRecorder>(title);
  }
  if (trace || html) {
    transcript.set_observer([recorder = trace.get(), page = html.get()](const Json::Value& event) {
      if (recorder)
        recorder->Observe(event);
      if (page)
        page->Observe(event);
    });
  }
  const RunOutcome outcome =
      RunScenario(scenario, runner_options, &transcript, &error, &played.verdict);
  if (trace && outcome == RunOutcome::kRan && !trace->Write(trace_file)) {
    played.code = kExitFailed;
    played.problem = "--trace: cannot write " + options.trace_path;
    return played;
  }
  if (html && outcome == RunOutcome::kRan && !html->Write(html_file)) {
    played.code = kExitFailed;
    played.problem = "--html: cannot write " + options.html_path;
    return played;
  }
  switch (outcome) {
    case RunOutcome::kRan:
      if (!played.verdict.passed()) {
        played.code = kExitFailed;
        played.problem = played.verdict.Summary();
      }
      return played;
    case RunOutcome::kBadScenario:
      played.code = kExitBadScenario;
      played.problem = "bad scenario: " + path + ": " + error;
      return played;
    case RunOutcome::kStartFailed:
      played.code = kExitStartFailed;
      played.problem = error;
      return played;
    case RunOutcome::kInterrupted:
      interruption::Reraise();
  }
  return played;
}

// The scenario files of `folder` (*.json), sorted; false with the reason.
bool ScenarioFiles(const std::string& folder, std::vector<std::string>* files, std::string* error) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) {
    *error = "cannot read the folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0)
      files->push_back(name);
  }
  std::sort(files->begin(), files->end());
  if (files->empty()) {
    *error = "no scenario (*.json) in " + folder;
    return false;
  }
  return true;
}

}  // namespace

int RunCommand(const std::string& scenario_path, const CommandOptions& options) {
  const Played played = Play(scenario_path, options, options.keep_dir, &std::cout);
  if (played.code == kExitFailed) {
    if (!options.strict)
      return kExitOk;
    std::cerr << "nuv_client: failed: " << played.problem << "\n";
    return kExitFailed;
  }
  if (played.code != kExitOk)
    std::cerr << "nuv_client: " << played.problem << "\n";
  return played.code;
}

int CheckCommand(const std::string& folder, const CommandOptions& options) {
  std::vector<std::string> files;
  std::string error;
  if (!ScenarioFiles(folder, &files, &error)) {
    std::cerr << "nuv_client: " << error << "\n";
    return kExitNoInput;
  }
  int passed = 0;
  int failed = 0;
  for (const std::string& name : files) {
    const std::string keep_dir =
        options.keep_dir.empty() ? "" : options.keep_dir + "/" + Stem(name);
    const auto began = std::chrono::steady_clock::now();
    const Played played = Play(folder + "/" + name, options, keep_dir, nullptr);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    char took[32];
    snprintf(took, sizeof(took), "%.2f s", seconds);
    if (played.code == kExitOk) {
      ++passed;
      std::cout << "PASS " << name << " (" << took << ")\n";
    } else {
      ++failed;
      std::cout << "FAIL " << name << " (" << took << "): " << played.problem << "\n";
      for (const Json::Value& failure : played.verdict.first_failures)
        std::cerr << name << ": " << FormatEventForPerson(failure) << "\n";
    }
    std::cout.flush();
    if (!std::cout) {  // nobody reads the results any more
      interruption::Request(SIGPIPE);
      interruption::Reraise();
    }
  }
  std::cout << passed << " passed, " << failed << " failed\n";
  return failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace host
}  // namespace nuv
