#include "src/values/object_id_counter.h"

#include "platform/atomic.h"

volatile int32_t V8ObjectIdCounter = 0;

int32_t NextV8ObjectId() {
  return nuv::platform::AtomicIncrement(&V8ObjectIdCounter);
}
