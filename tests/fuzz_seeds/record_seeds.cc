// Seeds of the value and bridge fuzz targets: value records and argument
// lists as the client and this process write them, and the reply packets
// that carry them.
#include <cstdint>

#include "tests/fuzz_seeds/seed_list.h"

namespace nuv_seeds {
namespace {

struct RecordText {
  const char* name;
  const char* text;
};

// Records in the compact form both sides write (members in key order, a
// line feed at the end), as the demo scenario and the tests exchange them.
const RecordText kRecords[] = {
    {"int", "{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n"},
    {"int-unsigned", "{\"browserId\":1,\"value\":3000000000,\"valueType\":\"NuvValueInt\"}\n"},
    {"double", "{\"browserId\":1,\"value\":2.5,\"valueType\":\"NuvValueDouble\"}\n"},
    {"double-whole", "{\"browserId\":1,\"value\":5000000000.0,\"valueType\":\"NuvValueDouble\"}\n"},
    {"bool", "{\"browserId\":1,\"value\":true,\"valueType\":\"NuvValueBool\"}\n"},
    {"null", "{\"browserId\":1,\"valueType\":\"NuvValueNull\"}\n"},
    {"undefined", "{\"browserId\":1,\"valueType\":\"NuvValueUndefined\"}\n"},
    {"unknown", "{\"browserId\":1,\"valueType\":\"NuvValueUnknown\"}\n"},
    {"string",
     "{\"browserId\":1,\"value\":\"Now: Quarterly report (draft) (15 pages)\","
     "\"valueType\":\"NuvValueString\"}\n"},
    {"string-escapes",
     "{\"browserId\":1,\"value\":\"a\\nb\\u00e9\\\"\\\\\\t\\ud83d\\ude00\","
     "\"valueType\":\"NuvValueString\"}\n"},
    {"date", "{\"browserId\":1,\"value\":\"20170315T14:03:09\",\"valueType\":\"NuvValueDate\"}\n"},
    {"array",
     "[[{\"browserId\":1,\"value\":1,\"valueType\":\"NuvValueInt\"}],null,"
     "{\"browserId\":1,\"valueType\":\"NuvValueUnknown\"}]\n"},
    {"function", "{\"browserId\":1,\"objectId\":1,\"valueType\":\"NuvValueV8Function\"}\n"},
    {"function-by-value", "{\"browserId\":1,\"value\":1,\"valueType\":\"NuvValueV8Function\"}\n"},
    {"host-object",
     "{\"browserId\":1,\"methodNames\":\"wordCount\\nsave\\nonChanged\",\"objectId\":7,"
     "\"propertyNames\":\"title\\npageCount\\nmodified\",\"valueType\":\"NuvValueComObject\"}\n"},
    {"other-browser-function",
     "{\"browserId\":77,\"objectId\":4,\"valueType\":\"NuvValueV8FunctionOtherBrowser\"}\n"},
};

// Argument lists and other texts the client sends, in the client's member
// order, and a hand-written text only Json::Reader reads.
const RecordText kClientTexts[] = {
    {"function-arguments",
     "[{\"valueType\":\"NuvValueString\",\"value\":\"Now\"},"
     "{\"valueType\":\"NuvValueInt\",\"value\":3}]"},
    {"exec-command-arguments",
     "[{\"valueType\":\"NuvValueString\",\"value\":\"bold\"},"
     "{\"valueType\":\"NuvValueBool\",\"value\":false},"
     "{\"valueType\":\"NuvValueString\",\"value\":\"\"}]"},
    {"call-back",
     "{\"objectId\":1,\"arguments\":[{\"valueType\":\"NuvValueString\","
     "\"value\":\"saved by the client\"}]}"},
    {"named-objects",
     "[{\"name\":\"hostDocument\",\"object\":{\"browserId\":1,\"methodNames\":\"wordCount\","
     "\"objectId\":7,\"propertyNames\":\"title\",\"valueType\":\"NuvValueComObject\"}},"
     "{\"name\":\"NuvChromeBrowser\",\"object\":{\"browserId\":1,\"methodNames\":\"OnException\","
     "\"objectId\":8,\"propertyNames\":\"\",\"valueType\":\"NuvValueComObject\"}}]\n"},
    {"styled",
     "{\n   \"valueType\" : \"NuvValueDouble\", // written by hand\n   \"value\" : 1e300\n}\n"},
};

// A reply packet: browser id, request id, four unread bytes, text, zero.
std::string ReplyPacket(uint32_t browser, uint32_t request, const std::string& text) {
  return Le32(browser) + Le32(request) + Le32(0) + text + std::string(1, '\0');
}

void AddReplyPacketSeeds(std::vector<Seed>* seeds) {
  // The first byte picks the message kind: below 200 a reply, otherwise
  // kind (byte - 200), which the helper window ignores.
  const std::string target = "nuv_reply_packet_fuzzer";
  const std::string reply(1, '\0');
  uint32_t request = 1;
  for (const RecordText& record : kRecords)
    seeds->push_back({target, record.name, reply + ReplyPacket(1, request++, record.text)});
  seeds->push_back(
      {target, "named-objects", reply + ReplyPacket(1, request++, kClientTexts[3].text)});
  seeds->push_back({target, "empty-list", reply + ReplyPacket(2, 0x80000001u, "[]")});
  seeds->push_back({target, "set-property-answer", reply + ReplyPacket(1, request++, "")});
  seeds->push_back(
      {target, "not-a-reply", std::string(1, static_cast<char>(203)) + ReplyPacket(1, 5, "title")});
}

}  // namespace

void AddRecordSeeds(std::vector<Seed>* seeds) {
  for (const char* target : {"nuv_record_decode_fuzzer", "nuv_record_text_reader_fuzzer"}) {
    for (const RecordText& record : kRecords)
      seeds->push_back({target, record.name, record.text});
    for (const RecordText& text : kClientTexts)
      seeds->push_back({target, text.name, text.text});
  }
  AddReplyPacketSeeds(seeds);
}

}  // namespace nuv_seeds
