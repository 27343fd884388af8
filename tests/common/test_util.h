// Helpers of the tests: scratch directories, raw file bytes, UTF-16LE byte
// strings, environment variables, per-user settings and child processes
// (the one implementation every test folder uses). One interface with a
// POSIX and a Win32
// implementation, written without the code under test, so that the same test
// sources hold both backends to one contract.
#ifndef NUV_TESTS_COMMON_TEST_UTIL_H_
#define NUV_TESTS_COMMON_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nuv_test {

// What differs between the platforms in the tests' expectations.
#if defined(_WIN32)
constexpr char kSeparator = '\\';
constexpr const char* kExeSuffix = ".exe";
// GetTempPathW reads TMP first.
constexpr const char* kTempVariable = "TMP";
#else
constexpr char kSeparator = '/';
constexpr const char* kExeSuffix = "";
constexpr const char* kTempVariable = "TMPDIR";
#endif

// `path` with every '/' turned into the platform's separator.
std::string NativePath(const std::string& path);

// A fresh directory under the system's temporary directory, removed with
// everything in it on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + `name`, where '/' in `name` is a separator too.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Files by UTF-8 path. ReadBytes gives "" for a missing file.
std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
bool MakeDir(const std::string& path);
bool IsDirectory(const std::string& path);
bool Exists(const std::string& path);

// Text helpers: UTF-16LE bytes and UTF-8 (valid input only).
std::string Utf16Le(const std::u16string& text);
std::u16string FromUtf16Le(const std::string& bytes);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);

// Directory of the running test program, ending in the separator.
std::string TestBinDir();
// The running test program itself.
std::string ThisProgram();

// Whether this process runs under wine rather than on Windows or POSIX
// (ntdll exports wine_get_version there).
bool RunningUnderWine();

// Copies the probe program into `dir` and returns its path there.
std::string CopyProbe(const std::string& dir);

uint32_t CurrentProcessId();

// A directory path whose creation must fail (its root cannot hold it).
std::string UncreatablePath();

// Environment of this process, UTF-8. `set` tells an empty value from none.
std::string GetEnv(const std::string& name, bool* set = nullptr);

// Sets (or, with a null value, removes) a variable for its lifetime; the
// old state comes back on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

using EnvList = std::vector<std::pair<std::string, std::string>>;

// One argument quoted the way CommandLineToArgvW reads it back (quotes only
// when needed), as the Windows child's command line is written.
std::string QuoteArgument(const std::string& arg);

struct ChildResult {
  int exit_code = -1000;  // exit status, or -1000 when the child did not exit
  uint32_t process_id = 0;
  std::string output;  // its standard output, raw bytes
};

// How a child's standard streams are connected.
enum class ChildStreams {
  kCaptureOutput,  // its output goes into a pipe that Wait() reads
  kTalk,           // pipes on its input and output: ReadLine, CloseInput
  kInherit,        // all three are this process's
};

// A child process. Wait() reads captured output to its end and waits for
// the exit. The destructor waits for a child whose output it captures; any
// other child still running is killed, so that a test that failed half-way
// leaves no peer behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `args` (argv[1]...) and this process's
  // environment plus `env`. False when it could not be started.
  bool Start(const std::string& program,
             const std::vector<std::string>& args,
             const EnvList& env = {},
             ChildStreams streams = ChildStreams::kCaptureOutput);
  ChildResult Wait();
  // Waits up to `timeout_ms` for the child to end and returns its exit
  // code; -1 when it did not end in time (it is killed then) or was not
  // started.
  int WaitFor(int timeout_ms);
  // Ends the child at once and reaps it.
  void Kill();
  bool running() const { return process_ != -1; }

  // kTalk: one line of the child's output, without its line feed; false at
  // the end of the output.
  bool ReadLine(std::string* line);
  // kTalk: exactly `size` bytes of the child's output; false when it ends
  // first.
  bool ReadOutput(void* bytes, size_t size);
  // kTalk: all `size` bytes to the child's input; false when it is gone.
  bool WriteInput(const void* bytes, size_t size);
  // kTalk: closes the child's input, which then reads end of file.
  void CloseInput();

 private:
  // Closes the pipes and forgets the process (after it was reaped).
  void Forget();

  ChildStreams streams_ = ChildStreams::kCaptureOutput;
  intptr_t process_ = -1;  // pid, or the process handle
  intptr_t output_ = -1;   // read end of the output pipe
  intptr_t input_ = -1;    // write end of the input pipe (kTalk)
  uint32_t process_id_ = 0;
};

// Start and Wait in one.
// A role a test program plays as the child of one of its own tests. When the
// environment variable `variable` is set, `role` runs at once (call this from
// a namespace-scope initialiser, so before main) and the process ends with
// its result; otherwise nothing happens and false is returned. Child roles
// are therefore never listed or run as tests of their own.
bool RunChildRoleWhenAsked(const char* variable, int (*role)());

ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const EnvList& env = {});

// The per-user settings store of the platform, private to one test: on
// POSIX a settings directory of its own that children find through Env(); on
// Windows HKEY_CURRENT_USER\Software\<product> keys, deleted again on
// destruction (products should carry UniqueName() to stay private).
class UserSettings {
 public:
  UserSettings();
  ~UserSettings();
  UserSettings(const UserSettings&) = delete;
  UserSettings& operator=(const UserSettings&) = delete;

  // The environment a child needs to see these settings.
  EnvList Env() const;
  bool SetDword(const std::string& product, const std::string& name, uint32_t value);
  // A value that is no 32-bit number: POSIX the text "garbage", Windows a
  // REG_SZ "garbage" (more than four bytes).
  bool SetInvalid(const std::string& product, const std::string& name);
  // Raw content: POSIX the file's bytes; Windows a value of the registry
  // type `windows_type` (REG_BINARY, 3, by default).
  bool SetRaw(const std::string& product,
              const std::string& name,
              const std::string& bytes,
              uint32_t windows_type = 3);

 private:
  ScratchDir root_;  // the POSIX settings directory
  std::vector<std::string> products_;
};

// `base` followed by this process's id: a name no concurrent test run uses.
std::string UniqueName(const std::string& base);

}  // namespace nuv_test

#endif  // NUV_TESTS_COMMON_TEST_UTIL_H_
