#include "host/window/object_registry.h"

#include <algorithm>

#include "host/window/value_records.h"

namespace nuv {
namespace host {
namespace {

bool IsReference(const Json::Value& value) {
  return value.isObject() && value.isMember("object") && !value.isMember("valueType");
}

// A configured value: shorthand scalars become records, references are
// checked, records stay as written.
bool ExpandTemplate(const Json::Value& value, Json::Value* out, std::string* error) {
  if (IsReference(value)) {
    int32_t id = 0;
    if (!Int32Of(value["object"], &id)) {
      *error = "\"object\" must be a host object identifier";
      return false;
    }
    Json::Value reference(Json::objectValue);
    reference["object"] = id;
    *out = reference;
    return true;
  }
  if (value.isArray()) {
    Json::Value array(Json::arrayValue);
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      Json::Value element;
      if (!ExpandTemplate(value[i], &element, error))
        return false;
      array.append(element);
    }
    *out = array;
    return true;
  }
  *out = ExpandShorthand(value);
  return true;
}

// Lists the allowed members when `spec` has a member not in `own`: a
// misspelt member would otherwise leave its part of the host unconfigured.
bool CheckOwnMembers(const Json::Value& spec,
                     std::initializer_list<const char*> own,
                     const std::string& what,
                     std::string* error) {
  for (const std::string& key : spec.getMemberNames()) {
    if (std::any_of(own.begin(), own.end(), [&key](const char* name) { return key == name; }))
      continue;
    std::string allowed;
    for (const char* name : own)
      allowed += std::string(allowed.empty() ? "" : ", ") + "\"" + name + "\"";
    *error = "unknown member \"" + key + "\" of " + what + " (allowed: " + allowed + ")";
    return false;
  }
  return true;
}

// Lists the allowed members when `spec` has another one.
bool CheckMembers(const Json::Value& spec,
                  std::initializer_list<const char*> own,
                  const std::string& what,
                  std::string* error) {
  for (const std::string& key : spec.getMemberNames()) {
    bool known = false;
    for (const char* name : own)
      known = known || key == name;
    for (int i = 0; kMisbehaviourMembers[i] && !known; ++i)
      known = key == kMisbehaviourMembers[i];
    if (known)
      continue;
    std::string allowed;
    for (const char* name : own)
      allowed += std::string(allowed.empty() ? "" : ", ") + "\"" + name + "\"";
    for (int i = 0; kMisbehaviourMembers[i]; ++i)
      allowed += std::string(", \"") + kMisbehaviourMembers[i] + "\"";
    *error = "unknown member \"" + key + "\" of " + what + " (allowed: " + allowed + ")";
    return false;
  }
  return true;
}

bool ParseMethodMode(const Json::Value& spec, MethodSpec* method, std::string* error) {
  if (spec.isMember("returns")) {
    method->mode = MethodSpec::Mode::kReturn;
    return ExpandTemplate(spec["returns"], &method->result, error);
  }
  if (spec.isMember("echo")) {
    std::string echo = StringMember(spec, "echo", "");
    if (echo == "first") {
      method->mode = MethodSpec::Mode::kEchoFirst;
      return true;
    }
    if (echo == "all") {
      method->mode = MethodSpec::Mode::kEchoAll;
      return true;
    }
    *error = "\"echo\" must be \"first\" or \"all\"";
    return false;
  }
  if (spec.isMember("returnsNewObject")) {
    method->mode = MethodSpec::Mode::kReturnNewObject;
    if (Int32Of(spec["returnsNewObject"], &method->template_id))
      return true;
    *error = "\"returnsNewObject\" must be a host object identifier";
    return false;
  }
  // A method that only misbehaves ({"noReply": true}, {"replyText": ...})
  // answers a null record when it answers at all.
  if (HasMisbehaviourMembers(spec)) {
    method->mode = MethodSpec::Mode::kReturn;
    method->result = Json::Value(Json::objectValue);
    method->result["valueType"] = "NuvValueNull";
    return true;
  }
  *error = "a method needs \"returns\", \"echo\" or \"returnsNewObject\"";
  return false;
}

bool ParseMethod(const Json::Value& spec, MethodSpec* method, std::string* error) {
  if (!spec.isObject()) {
    *error = "a method must be a JSON object";
    return false;
  }
  return CheckMembers(spec, {"returns", "echo", "returnsNewObject"}, "a method", error) &&
         ParseMethodMode(spec, method, error) && ParseMisbehaviour(spec, &method->how, error);
}

// A property written as {"value": ..., <misbehaviours>} rather than as a
// value: an object that is neither a record nor a host object reference and
// has "value" or a misbehaviour member.
bool IsPropertySpec(const Json::Value& spec) {
  return spec.isObject() && !spec.isMember("valueType") && !IsReference(spec) &&
         (spec.isMember("value") || HasMisbehaviourMembers(spec));
}

bool ParseProperty(const Json::Value& spec,
                   Json::Value* value,
                   Misbehaviour* how,
                   std::string* error) {
  if (!IsPropertySpec(spec))
    return ExpandTemplate(spec, value, error);
  if (!CheckMembers(spec, {"value"}, "a property", error) || !ParseMisbehaviour(spec, how, error))
    return false;
  if (!spec.isMember("value")) {
    *value = Json::Value(Json::objectValue);  // answered as a null record
    (*value)["valueType"] = "NuvValueNull";
    return true;
  }
  return ExpandTemplate(spec["value"], value, error);
}

bool ParseObject(int32_t id, const Json::Value& spec, HostObject* object, std::string* error) {
  object->id = id;
  if (!spec.isObject()) {
    *error = "object " + std::to_string(id) + " must be a JSON object";
    return false;
  }
  if (!CheckOwnMembers(spec, {"properties", "methods"}, "object " + std::to_string(id), error))
    return false;
  const Json::Value& properties = spec["properties"];
  const Json::Value& methods = spec["methods"];
  if ((!properties.isNull() && !properties.isObject()) ||
      (!methods.isNull() && !methods.isObject())) {
    *error = "object " + std::to_string(id) + ": properties and methods must be JSON objects";
    return false;
  }
  for (const std::string& name : properties.getMemberNames()) {
    Misbehaviour how;
    if (!ParseProperty(properties[name], &object->properties[name], &how, error)) {
      *error = "property " + name + " of object " + std::to_string(id) + ": " + *error;
      return false;
    }
    if (how.any())
      object->property_misbehaviours[name] = how;
  }
  for (const std::string& name : methods.getMemberNames()) {
    if (!ParseMethod(methods[name], &object->methods[name], error)) {
      *error = "method " + name + " of object " + std::to_string(id) + ": " + *error;
      return false;
    }
  }
  return true;
}

// A named-object entry: {"name": text, "object": value} with the value's
// shorthands; {"verbatim": any} or any other shape is sent as written.
bool ParseNamedEntry(const Json::Value& entry, NamedEntry* out, std::string* error) {
  const bool standard =
      entry.isObject() && entry.size() == 2 && entry["name"].isString() && entry.isMember("object");
  if (!standard) {
    out->verbatim = true;
    out->value = entry.isObject() && entry.size() == 1 && entry.isMember("verbatim")
                     ? entry["verbatim"]
                     : entry;
    return true;
  }
  out->name = entry["name"].asString();
  Json::Value value = entry["object"];
  if (value.isInt()) {  // a bare identifier names a host object
    int32_t id = value.asInt();
    value = Json::Value(Json::objectValue);
    value["object"] = id;
  }
  return ExpandTemplate(value, &out->value, error);
}

// A list is an array of entries, or {"value": [entries], <misbehaviours>}.
bool ParseNamed(const Json::Value& spec,
                std::vector<NamedEntry>* named,
                Misbehaviour* how,
                std::string* error) {
  const Json::Value* list = &spec;
  if (spec.isObject()) {
    if (!CheckMembers(spec, {"value"}, "a named-object list", error) ||
        !ParseMisbehaviour(spec, how, error))
      return false;
    list = &spec["value"];
    if (list->isNull())
      return true;
  }
  if (!list->isArray()) {
    *error = "a named-object list must be an array, or an object with \"value\": array";
    return false;
  }
  for (Json::ArrayIndex i = 0; i < list->size(); ++i) {
    named->emplace_back();
    if (!ParseNamedEntry((*list)[i], &named->back(), error))
      return false;
  }
  return true;
}

std::vector<std::string> Keys(const std::map<std::string, Json::Value>& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map)
    keys.push_back(entry.first);
  return keys;
}

std::vector<std::string> Keys(const std::map<std::string, MethodSpec>& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map)
    keys.push_back(entry.first);
  return keys;
}

}  // namespace

bool ObjectRegistry::Load(const Json::Value& config, std::string* error) {
  std::string ignored;
  if (!error)
    error = &ignored;
  if (!config.isObject()) {
    *error = "the configuration must be a JSON object";
    return false;
  }
  if (!CheckOwnMembers(config, {"objects", "named", "otherBrowserCallResult"}, "the configuration",
                       error))
    return false;
  std::vector<HostObject> objects;
  const Json::Value& object_specs = config["objects"];
  if (!object_specs.isNull() && !object_specs.isObject()) {
    *error = "\"objects\" must map identifiers to objects";
    return false;
  }
  for (const std::string& key : object_specs.getMemberNames()) {
    int32_t id = 0;
    if (!Int32Of(Json::Value(key), &id) || id == 0) {
      *error = "\"" + key + "\" is not a host object identifier";
      return false;
    }
    objects.emplace_back();
    if (!ParseObject(id, object_specs[key], &objects.back(), error))
      return false;
  }
  std::map<int64_t, std::vector<NamedEntry>> named;
  std::map<int64_t, Misbehaviour> named_how;
  const Json::Value& named_specs = config["named"];
  if (!named_specs.isNull() && !named_specs.isObject()) {
    *error = "\"named\" must map browser ids (or \"*\") to lists";
    return false;
  }
  for (const std::string& key : named_specs.getMemberNames()) {
    int32_t browser = 0;
    int64_t slot = kAnyBrowser;
    if (key != "*") {
      if (!Int32Of(Json::Value(key), &browser)) {
        *error = "\"" + key + "\" is not a browser id";
        return false;
      }
      slot = browser;
    }
    if (!ParseNamed(named_specs[key], &named[slot], &named_how[slot], error)) {
      *error = "named objects of " + key + ": " + *error;
      return false;
    }
  }
  Json::Value other_result;
  if (config.isMember("otherBrowserCallResult") &&
      !ExpandTemplate(config["otherBrowserCallResult"], &other_result, error)) {
    return false;
  }
  for (const auto& object : objects)
    AddObject(object);
  for (auto& entry : named)
    SetNamedList(entry.first, std::move(entry.second), named_how[entry.first]);
  if (config.isMember("otherBrowserCallResult"))
    SetOtherBrowserCallResult(other_result);
  return true;
}

void ObjectRegistry::AddObject(const HostObject& object) {
  std::lock_guard<std::mutex> lock(mutex_);
  objects_[object.id] = object;
  if (object.id >= next_id_ && object.id < INT32_MAX)
    next_id_ = object.id + 1;
}

void ObjectRegistry::SetNamedObjects(int64_t browser_id,
                                     std::vector<std::pair<std::string, Json::Value>> named) {
  std::vector<NamedEntry> entries;
  for (auto& pair : named)
    entries.push_back(NamedEntry{std::move(pair.first), std::move(pair.second), false});
  SetNamedList(browser_id, std::move(entries));
}

void ObjectRegistry::SetNamedList(int64_t browser_id,
                                  std::vector<NamedEntry> entries,
                                  const Misbehaviour& how) {
  std::lock_guard<std::mutex> lock(mutex_);
  named_[browser_id] = std::move(entries);
  named_misbehaviours_[browser_id] = how;
}

bool ObjectRegistry::UsesExitOnRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& list : named_misbehaviours_) {
    if (list.second.exit_on_request)
      return true;
  }
  for (const auto& object : objects_) {
    for (const auto& property : object.second.property_misbehaviours) {
      if (property.second.exit_on_request)
        return true;
    }
    for (const auto& method : object.second.methods) {
      if (method.second.how.exit_on_request)
        return true;
    }
  }
  return false;
}

void ObjectRegistry::SetMethodHandler(int32_t object_id,
                                      const std::string& method,
                                      MethodHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handlers_[{object_id, method}] = std::move(handler);
}

void ObjectRegistry::SetOtherBrowserCallResult(const Json::Value& value_template) {
  std::lock_guard<std::mutex> lock(mutex_);
  other_browser_result_ = value_template;
}

Json::Value ObjectRegistry::ObjectRecordLocked(int32_t browser_id, int32_t object_id) const {
  auto found = objects_.find(object_id);
  if (found == objects_.end())
    return NullRecord(browser_id);
  return ComObjectRecord(browser_id, object_id, Keys(found->second.properties),
                         Keys(found->second.methods));
}

Json::Value ObjectRegistry::ResolveLocked(const Json::Value& value_template,
                                          int32_t browser_id) const {
  if (IsReference(value_template)) {
    int32_t id = 0;
    Int32Of(value_template["object"], &id);
    return ObjectRecordLocked(browser_id, id);
  }
  if (value_template.isArray()) {
    Json::Value array(Json::arrayValue);
    for (Json::ArrayIndex i = 0; i < value_template.size(); ++i)
      array.append(ResolveLocked(value_template[i], browser_id));
    return array;
  }
  Json::Value record = value_template;
  StampBrowserId(browser_id, &record);
  return record;
}

int32_t ObjectRegistry::CloneLocked(int32_t template_id) {
  auto found = objects_.find(template_id);
  if (found == objects_.end())
    return 0;
  while (objects_.count(next_id_) || next_id_ == 0)
    next_id_ = next_id_ == INT32_MAX ? 1 : next_id_ + 1;
  HostObject copy = found->second;
  copy.id = next_id_;
  objects_[copy.id] = copy;
  return copy.id;
}

std::string ObjectRegistry::NamedObjectsReply(int32_t browser_id, Misbehaviour* how) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = named_.find(browser_id);
  if (found == named_.end())
    found = named_.find(kAnyBrowser);
  Json::Value reply(Json::arrayValue);
  if (found != named_.end()) {
    if (how)
      *how = named_misbehaviours_[found->first];
    for (const NamedEntry& entry : found->second) {
      if (entry.verbatim) {
        reply.append(entry.value);
        continue;
      }
      Json::Value named(Json::objectValue);
      named["name"] = entry.name;
      named["object"] = ResolveLocked(entry.value, browser_id);
      reply.append(named);
    }
  }
  return WriteJson(reply);
}

std::string ObjectRegistry::GetPropertyReply(int32_t browser_id,
                                             int32_t object_id,
                                             const std::string& name,
                                             std::string* problem,
                                             Misbehaviour* how) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto object = objects_.find(object_id);
  if (object == objects_.end()) {
    *problem = "no host object " + std::to_string(object_id);
    return WriteJson(NullRecord(browser_id));
  }
  auto property = object->second.properties.find(name);
  if (property == object->second.properties.end()) {
    *problem = "host object " + std::to_string(object_id) + " has no property " + name;
    return WriteJson(NullRecord(browser_id));
  }
  auto misbehaviour = object->second.property_misbehaviours.find(name);
  if (how && misbehaviour != object->second.property_misbehaviours.end())
    *how = misbehaviour->second;
  return WriteJson(ResolveLocked(property->second, browser_id));
}

std::string ObjectRegistry::SetPropertyReply(int32_t browser_id,
                                             int32_t object_id,
                                             const std::string& text,
                                             std::string* problem,
                                             Misbehaviour* how) {
  Json::Value request;
  if (!ParseJson(text, &request) || !request.isObject() || !request["propertyName"].isString()) {
    *problem = "property write without a JSON \"propertyName\"";
    return WriteJson(NullRecord(browser_id));
  }
  Json::Value value = request["value"];
  NormalizePageRecord(&value);
  std::lock_guard<std::mutex> lock(mutex_);
  auto object = objects_.find(object_id);
  if (object == objects_.end()) {
    *problem = "no host object " + std::to_string(object_id);
  } else {
    // The value changes; how the property is answered does not.
    const std::string name = request["propertyName"].asString();
    object->second.properties[name] = value;
    auto misbehaviour = object->second.property_misbehaviours.find(name);
    if (how && misbehaviour != object->second.property_misbehaviours.end())
      *how = misbehaviour->second;
  }
  return WriteJson(NullRecord(browser_id));
}

std::string ObjectRegistry::CallMethodReply(int32_t browser_id,
                                            int32_t object_id,
                                            const std::string& text,
                                            std::string* problem,
                                            Misbehaviour* how) {
  Json::Value request;
  if (!ParseJson(text, &request) || !request.isObject() || !request["methodName"].isString()) {
    *problem = "method call without a JSON \"methodName\"";
    return WriteJson(NullRecord(browser_id));
  }
  std::string name = request["methodName"].asString();
  Json::Value arguments = request["arguments"];
  if (arguments.isNull())
    arguments = Json::Value(Json::arrayValue);
  if (!arguments.isArray()) {
    *problem = "method " + name + ": \"arguments\" is not an array";
    arguments = Json::Value(Json::arrayValue);
  }
  NormalizePageRecord(&arguments);

  std::unique_lock<std::mutex> lock(mutex_);
  auto handler = handlers_.find({object_id, name});
  if (handler != handlers_.end()) {
    MethodHandler call = handler->second;
    lock.unlock();
    Json::Value result;
    try {
      result = call(browser_id, arguments);
    } catch (...) {
      *problem = "the handler of method " + name + " threw an exception";
      result = NullRecord(browser_id);
    }
    StampBrowserId(browser_id, &result);
    return WriteJson(result);
  }
  auto object = objects_.find(object_id);
  if (object == objects_.end()) {
    *problem = "no host object " + std::to_string(object_id);
    return WriteJson(NullRecord(browser_id));
  }
  auto method = object->second.methods.find(name);
  if (method == object->second.methods.end()) {
    *problem = "host object " + std::to_string(object_id) + " has no method " + name;
    return WriteJson(NullRecord(browser_id));
  }
  const MethodSpec spec = method->second;
  if (how)
    *how = spec.how;
  switch (spec.mode) {
    case MethodSpec::Mode::kReturn:
      return WriteJson(ResolveLocked(spec.result, browser_id));
    case MethodSpec::Mode::kEchoFirst:
      return WriteJson(arguments.empty() ? NullRecord(browser_id) : arguments[0]);
    case MethodSpec::Mode::kEchoAll:
      return WriteJson(arguments);
    case MethodSpec::Mode::kReturnNewObject: {
      int32_t id = CloneLocked(spec.template_id);
      if (!id)
        *problem = "method " + name + ": no template object " + std::to_string(spec.template_id);
      return WriteJson(ObjectRecordLocked(browser_id, id));
    }
  }
  return WriteJson(NullRecord(browser_id));
}

std::string ObjectRegistry::OtherBrowserCallReply(int32_t browser_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (other_browser_result_.isNull())
    return WriteJson(NullRecord(browser_id));
  return WriteJson(ResolveLocked(other_browser_result_, browser_id));
}

void ObjectRegistry::CountRelease(int32_t object_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++releases_[object_id];
}

int ObjectRegistry::ReleaseCount(int32_t object_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = releases_.find(object_id);
  return found == releases_.end() ? 0 : found->second;
}

bool ObjectRegistry::HasObject(int32_t object_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return objects_.count(object_id) != 0;
}

Json::Value ObjectRegistry::PropertyRecord(int32_t browser_id,
                                           int32_t object_id,
                                           const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto object = objects_.find(object_id);
  if (object == objects_.end())
    return Json::Value();
  auto property = object->second.properties.find(name);
  if (property == object->second.properties.end())
    return Json::Value();
  return ResolveLocked(property->second, browser_id);
}

}  // namespace host
}  // namespace nuv
