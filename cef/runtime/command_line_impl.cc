// CefCommandLine parsed as Chromium's base::CommandLine parses it:
//  - argv[0] is the program; every later element is a switch or an argument;
//  - a switch starts with "--" or "-" ("/" too on Windows) and is more than
//    its prefix; "--name=value" has a value, "--name" an empty one;
//  - a lone "--" ends switch parsing: everything after it is an argument;
//  - each element is trimmed of surrounding white space first;
//  - switch names are lower-cased on Windows only; elsewhere they are
//    case-sensitive, as Chromium does on Linux;
//  - a repeated switch keeps the last value.
// InitFromString splits the text the way Windows' CommandLineToArgvW does
// (CEF offers it on Windows only; here it works everywhere).
#include <algorithm>
#include <iterator>
#include <mutex>

#include "cef/runtime/render_runtime.h"
#include "include/cef_command_line.h"
#include "platform/process_info.h"

namespace {

#if defined(_WIN32)
const bool kLowerCaseSwitches = true;
#else
const bool kLowerCaseSwitches = false;
#endif

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

std::u16string Trim(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b]))
    ++b;
  while (e > b && IsSpace(s[e - 1]))
    --e;
  return s.substr(b, e - b);
}

std::u16string NormalizeName(std::u16string name) {
  if (kLowerCaseSwitches) {
    for (char16_t& c : name) {
      if (c >= u'A' && c <= u'Z')
        c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return name;
}

size_t SwitchPrefixLength(const std::u16string& arg) {
  if (arg.compare(0, 2, u"--") == 0)
    return 2;
  if (arg.compare(0, 1, u"-") == 0)
    return 1;
#if defined(_WIN32)
  if (arg.compare(0, 1, u"/") == 0)
    return 1;
#endif
  return 0;
}

bool SplitSwitch(const std::u16string& arg, std::u16string* name, std::u16string* value) {
  size_t prefix = SwitchPrefixLength(arg);
  if (prefix == 0 || prefix == arg.size())
    return false;
  size_t equals = arg.find(u'=', prefix);
  *name = NormalizeName(
      arg.substr(prefix, equals == std::u16string::npos ? std::u16string::npos : equals - prefix));
  *value = equals == std::u16string::npos ? std::u16string() : arg.substr(equals + 1);
  return !name->empty();
}

// Splits a command line with the rules of CommandLineToArgvW.
std::vector<std::u16string> SplitWindowsCommandLine(const std::u16string& text) {
  std::vector<std::u16string> out;
  size_t i = 0, n = text.size();
  // The program: quotes group, backslashes are literal.
  while (i < n && IsSpace(text[i]))
    ++i;
  if (i == n)
    return out;
  std::u16string program;
  bool quoted = false;
  for (; i < n; ++i) {
    char16_t c = text[i];
    if (c == u'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsSpace(c))
      break;
    program.push_back(c);
  }
  out.push_back(program);
  for (;;) {
    while (i < n && IsSpace(text[i]))
      ++i;
    if (i == n)
      break;
    std::u16string arg;
    quoted = false;
    while (i < n && (quoted || !IsSpace(text[i]))) {
      size_t slashes = 0;
      while (i < n && text[i] == u'\\') {
        ++slashes;
        ++i;
      }
      if (i < n && text[i] == u'"') {
        arg.append(slashes / 2, u'\\');
        if (slashes % 2) {
          arg.push_back(u'"');
          ++i;
        } else if (quoted && i + 1 < n && text[i + 1] == u'"') {
          arg.push_back(u'"');  // "" inside quotes is a literal quote
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(slashes, u'\\');
        if (i < n && (quoted || !IsSpace(text[i]))) {
          arg.push_back(text[i]);
          ++i;
        }
      }
    }
    out.push_back(arg);
  }
  return out;
}

class CommandLineImpl : public CefCommandLine {
 public:
  explicit CommandLineImpl(bool read_only) : read_only_(read_only) { argv_.emplace_back(); }

  bool IsValid() override { return true; }
  bool IsReadOnly() override { return read_only_; }
  CefRefPtr<CefCommandLine> Copy() override {
    CefRefPtr<CommandLineImpl> copy = new CommandLineImpl(false);
    copy->argv_ = argv_;
    copy->switches_ = switches_;
    copy->begin_args_ = begin_args_;
    return copy.get();
  }
  void InitFromArgv(int argc, const char* const* argv) override {
    if (read_only_)
      return;
    std::vector<std::u16string> args;
    for (int i = 0; argv && i < argc; ++i)
      args.push_back(CefString(argv[i] ? argv[i] : ""));
    InitFrom(args);
  }
  void InitFromString(const CefString& command_line) override {
    if (read_only_)
      return;
    InitFrom(SplitWindowsCommandLine(Trim(command_line)));
  }
  void Reset() override {
    if (read_only_)
      return;
    std::u16string program = argv_[0];
    argv_.assign(1, program);
    switches_.clear();
    begin_args_ = 1;
  }
  void GetArgv(std::vector<CefString>& argv) override {
    for (const auto& a : argv_)
      argv.push_back(a);
  }
  CefString GetCommandLineString() override {
    std::u16string out;
    for (size_t i = 0; i < argv_.size(); ++i) {
      if (i)
        out.push_back(u' ');
      std::u16string name, value;
      if (i > 0 && i < begin_args_ && SplitSwitch(argv_[i], &name, &value) &&
          argv_[i].find(u'=') != std::u16string::npos) {
        size_t eq = argv_[i].find(u'=');
        out += argv_[i].substr(0, eq + 1) +
               nuv::platform::QuoteCommandLineArgument(argv_[i].substr(eq + 1));
      } else {
        out += nuv::platform::QuoteCommandLineArgument(argv_[i]);
      }
    }
    return out;
  }
  CefString GetProgram() override { return argv_[0]; }
  void SetProgram(const CefString& program) override {
    if (!read_only_)
      argv_[0] = Trim(program);
  }
  bool HasSwitches() override { return !switches_.empty(); }
  bool HasSwitch(const CefString& name) override {
    return switches_.count(NormalizeName(name)) != 0;
  }
  CefString GetSwitchValue(const CefString& name) override {
    auto it = switches_.find(NormalizeName(name));
    return it == switches_.end() ? CefString() : CefString(it->second);
  }
  void GetSwitches(SwitchMap& switches) override {
    for (const auto& s : switches_)
      switches[s.first] = s.second;
  }
  void AppendSwitch(const CefString& name) override { AppendSwitchWithValue(name, CefString()); }
  void AppendSwitchWithValue(const CefString& name, const CefString& value) override {
    if (read_only_ || name.empty())
      return;
    std::u16string key = NormalizeName(name);
    std::u16string v = value;
    switches_[key] = v;
    std::u16string element = u"--" + key;
    if (!v.empty())
      element += u"=" + v;
    argv_.insert(argv_.begin() + static_cast<std::ptrdiff_t>(begin_args_), element);
    ++begin_args_;
  }
  bool HasArguments() override { return argv_.size() > begin_args_; }
  void GetArguments(ArgumentList& arguments) override {
    for (size_t i = begin_args_; i < argv_.size(); ++i)
      arguments.push_back(argv_[i]);
  }
  void AppendArgument(const CefString& argument) override {
    if (!read_only_)
      argv_.push_back(argument);
  }
  void PrependWrapper(const CefString& wrapper) override {
    if (read_only_)
      return;
    std::vector<std::u16string> parts;
    std::u16string text = wrapper, part;
    for (char16_t c : text) {
      if (c == u' ') {
        if (!part.empty())
          parts.push_back(part);
        part.clear();
      } else {
        part.push_back(c);
      }
    }
    if (!part.empty())
      parts.push_back(part);
    argv_.insert(argv_.begin(), parts.begin(), parts.end());
    begin_args_ += parts.size();
  }

  // Used to publish a frozen copy as the global command line.
  void InitFromList(const std::vector<CefString>& argv) {
    std::vector<std::u16string> args(argv.begin(), argv.end());
    InitFrom(args);
  }
  void Freeze() { read_only_ = true; }

 private:
  // The program, then every switch in order, then every other argument in
  // order, as Chromium's one-by-one insertion before the arguments leaves
  // them; gathered apart and joined once, so that many switches cost no
  // more than few.
  void InitFrom(const std::vector<std::u16string>& args) {
    argv_.assign(1, args.empty() ? std::u16string() : Trim(args[0]));
    switches_.clear();
    std::vector<std::u16string> arguments;
    bool parse_switches = true;
    for (size_t i = 1; i < args.size(); ++i) {
      std::u16string arg = Trim(args[i]);
      if (arg == u"--") {
        parse_switches = false;
        arguments.push_back(arg);  // kept, as Chromium keeps it, among the arguments
        continue;
      }
      std::u16string name, value;
      if (parse_switches && SplitSwitch(arg, &name, &value)) {
        switches_[name] = value;
        argv_.push_back(std::move(arg));
      } else {
        arguments.push_back(std::move(arg));
      }
    }
    begin_args_ = argv_.size();
    argv_.insert(argv_.end(), std::make_move_iterator(arguments.begin()),
                 std::make_move_iterator(arguments.end()));
  }

  bool read_only_;
  std::vector<std::u16string> argv_;
  std::map<std::u16string, std::u16string> switches_;
  size_t begin_args_ = 1;
  IMPLEMENT_REFCOUNTING(CommandLineImpl);
};

std::mutex g_global_lock;
CefRefPtr<CefCommandLine>& GlobalCommandLine() {
  static CefRefPtr<CefCommandLine>* global = new CefRefPtr<CefCommandLine>();
  return *global;
}

}  // namespace

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
  return new CommandLineImpl(false);
}

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() {
  std::lock_guard<std::mutex> lock(g_global_lock);
  CefRefPtr<CefCommandLine>& global = GlobalCommandLine();
  if (!global)
    global = new CommandLineImpl(true);
  return global;
}

namespace cefrt {

void SetGlobalCommandLine(CefRefPtr<CefCommandLine> command_line) {
  if (!command_line)
    return;
  std::vector<CefString> argv;
  command_line->GetArgv(argv);
  CefRefPtr<CommandLineImpl> frozen = new CommandLineImpl(false);
  frozen->InitFromList(argv);
  frozen->Freeze();
  std::lock_guard<std::mutex> lock(g_global_lock);
  GlobalCommandLine() = frozen.get();
}

int UncaughtExceptionStackSize(CefRefPtr<CefCommandLine> command_line) {
  if (!command_line)
    return 0;
  // Chromium's StringToInt, whose verdict CEF ignores: blanks skipped, a
  // sign, the digits up to the first other character, saturated at the
  // limits of int.
  const std::u16string text =
      command_line->GetSwitchValue("uncaught-exception-stack-size").ToString16();
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
    negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > 2147483648LL)
      value = 2147483648LL;
  }
  if (negative)
    return static_cast<int>(-value);
  return static_cast<int>(std::min(value, 2147483647LL));
}

}  // namespace cefrt
