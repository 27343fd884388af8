// The client's scriptable automation objects as the host window serves
// them: host objects with properties and methods, the named objects each
// browser's pages receive, and the release count of every identifier.
// Thread-safe: configured from any thread, used on the host window's thread.
#ifndef NUV_HOST_WINDOW_OBJECT_REGISTRY_H_
#define NUV_HOST_WINDOW_OBJECT_REGISTRY_H_

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <json/json.h>

#include "host/window/misbehaviour.h"

namespace nuv {
namespace host {

// What a method does when called.
struct MethodSpec {
  enum class Mode {
    kReturn,           // answers `result` (a value template, see below)
    kEchoFirst,        // answers its first argument (null record without one)
    kEchoAll,          // answers the array record of all its arguments
    kReturnNewObject,  // answers a fresh copy of host object `template_id`
  };
  Mode mode = Mode::kReturn;
  Json::Value result;  // kReturn
  int32_t template_id = 0;
  Misbehaviour how;  // how the answer is delivered
};

// A host object. Property values are value templates: value records, where
// {"object": id} anywhere stands for the record of host object `id`.
struct HostObject {
  int32_t id = 0;
  std::map<std::string, Json::Value> properties;
  std::map<std::string, MethodSpec> methods;
  // Properties whose reads and writes are answered with a misbehaviour.
  std::map<std::string, Misbehaviour> property_misbehaviours;
};

// Code a client plugs in for one method instead of a MethodSpec: gets the
// browser id and the arguments (an array of records, already normalised),
// returns the reply record.
using MethodHandler = std::function<Json::Value(int32_t browser_id, const Json::Value& arguments)>;

// One entry of a named-object list: a name and a value template, or any JSON
// sent exactly as written (to try the sub-process on odd entries).
struct NamedEntry {
  std::string name;
  Json::Value value;
  bool verbatim = false;
};

// A browser id that stands for every browser without a list of its own.
constexpr int64_t kAnyBrowser = INT64_MIN;

class ObjectRegistry {
 public:
  // Adds the objects, named-object lists and settings of a configuration
  // (format in docs/host-window.md). On error nothing is changed and *error
  // says why.
  bool Load(const Json::Value& config, std::string* error);

  void AddObject(const HostObject& object);
  // The named objects of one browser (or kAnyBrowser): name -> value
  // template (typically {"object": id}).
  void SetNamedObjects(int64_t browser_id, std::vector<std::pair<std::string, Json::Value>> named);
  // The same with entries of any shape and a misbehaviour for the list's
  // request.
  void SetNamedList(int64_t browser_id,
                    std::vector<NamedEntry> entries,
                    const Misbehaviour& how = Misbehaviour());
  void SetMethodHandler(int32_t object_id, const std::string& method, MethodHandler handler);
  void SetOtherBrowserCallResult(const Json::Value& value_template);

  // Reply texts of the request kinds (Json::FastWriter text). A problem
  // worth logging is put into *problem; the reply is then still a valid one
  // (a NuvValueNull record, or [] for the named objects). *how (optional)
  // gets the misbehaviour configured for what the request addresses.
  std::string NamedObjectsReply(int32_t browser_id, Misbehaviour* how = nullptr);
  std::string GetPropertyReply(int32_t browser_id,
                               int32_t object_id,
                               const std::string& name,
                               std::string* problem,
                               Misbehaviour* how = nullptr);
  std::string SetPropertyReply(int32_t browser_id,
                               int32_t object_id,
                               const std::string& text,
                               std::string* problem,
                               Misbehaviour* how = nullptr);
  std::string CallMethodReply(int32_t browser_id,
                              int32_t object_id,
                              const std::string& text,
                              std::string* problem,
                              Misbehaviour* how = nullptr);
  std::string OtherBrowserCallReply(int32_t browser_id);
  void CountRelease(int32_t object_id);

  // Whether any configured answer asks the host window's process to die.
  bool UsesExitOnRequest() const;

  // For tests and tools.
  int ReleaseCount(int32_t object_id) const;
  bool HasObject(int32_t object_id) const;
  // The property's current value as it would be answered (null when unknown).
  Json::Value PropertyRecord(int32_t browser_id, int32_t object_id, const std::string& name) const;

 private:
  Json::Value ResolveLocked(const Json::Value& value_template, int32_t browser_id) const;
  Json::Value ObjectRecordLocked(int32_t browser_id, int32_t object_id) const;
  int32_t CloneLocked(int32_t template_id);

  mutable std::mutex mutex_;
  std::map<int32_t, HostObject> objects_;
  std::map<int64_t, std::vector<NamedEntry>> named_;
  std::map<int64_t, Misbehaviour> named_misbehaviours_;
  std::map<std::pair<int32_t, std::string>, MethodHandler> handlers_;
  std::map<int32_t, int> releases_;
  Json::Value other_browser_result_;
  int32_t next_id_ = 1;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_OBJECT_REGISTRY_H_
