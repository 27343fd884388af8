// The bridge's side of the value conversions: host object proxies, proxies
// of other browsers' functions and the page callback registry, offered to
// the conversions through their INuvValueBridge interface.
#ifndef NUV_SRC_BRIDGE_VALUE_BRIDGE_IMPL_H_
#define NUV_SRC_BRIDGE_VALUE_BRIDGE_IMPL_H_

// Makes the bridge the one the conversions use; every program (and test) that
// converts host objects calls it once before the first conversion. Calling it
// again does nothing.
void InstallBridgeForValues();

#endif  // NUV_SRC_BRIDGE_VALUE_BRIDGE_IMPL_H_
