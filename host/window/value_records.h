// Value records as the client writes and reads them: the records the host
// window answers with, and the few rewrites it applies to records that come
// from a page. jsoncpp never throws out of these functions.
#ifndef NUV_HOST_WINDOW_VALUE_RECORDS_H_
#define NUV_HOST_WINDOW_VALUE_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include <json/json.h>

namespace nuv {
namespace host {

// {"browserId":b,"valueType":"NuvValueNull"}
Json::Value NullRecord(int32_t browser_id);

// A "NuvValueComObject" record for a host object; names joined by line feeds.
Json::Value ComObjectRecord(int32_t browser_id,
                            int32_t object_id,
                            const std::vector<std::string>& property_names,
                            const std::vector<std::string>& method_names);

// Turns a configured value into a record: a string, number or boolean
// becomes a "NuvValueString", "NuvValueInt"/"NuvValueDouble" or
// "NuvValueBool" record; arrays are converted element by element; objects
// (records, host object references) and null stay as they are.
Json::Value ExpandShorthand(const Json::Value& value);

// Adds "browserId" to every object record (also inside arrays) that lacks it.
void StampBrowserId(int32_t browser_id, Json::Value* record);

// A page writes the identifier of a host object or page function under
// "value", and reads it from "objectId": records from a page get "objectId"
// too, so that handing them back gives the page the same object or function.
void NormalizePageRecord(Json::Value* record);

// Json::FastWriter text (with its trailing line feed).
std::string WriteJson(const Json::Value& value);

// Json::Reader; false (and *value null) when the text is not JSON.
bool ParseJson(const std::string& text, Json::Value* value);

// Safe accessors: the fallback when the member is missing or of another type.
std::string StringMember(const Json::Value& object, const char* key, const std::string& fallback);
bool Int32Of(const Json::Value& value, int32_t* out);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_VALUE_RECORDS_H_
