// V8ObjectIdCounter: the process-wide counter that numbers the page
// functions handed to the client and the names of foreign-function proxies.
#ifndef NUV_SRC_VALUES_OBJECT_ID_COUNTER_H_
#define NUV_SRC_VALUES_OBJECT_ID_COUNTER_H_

#include <cstdint>

// Starts at 0; changed only by NextV8ObjectId.
extern volatile int32_t V8ObjectIdCounter;

// Increments the counter atomically and returns the new value (1 first).
int32_t NextV8ObjectId();

#endif  // NUV_SRC_VALUES_OBJECT_ID_COUNTER_H_
