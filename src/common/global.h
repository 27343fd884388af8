// INuvGlobal, the process-wide settings object every program built on the
// common library owns exactly one of, and CNuvGlobalDefault, which gives
// every operation its default. The order of the virtual operations is part of
// the interface.
#ifndef NUV_SRC_COMMON_GLOBAL_H_
#define NUV_SRC_COMMON_GLOBAL_H_

#include <cstdint>
#include <string>

#include "src/common/sync_object.h"

// <windows.h> maps GetTempPath to GetTempPathW; the operation keeps its own
// name in every translation unit, whichever header came first.
#if defined(_WIN32) && defined(GetTempPath)
#undef GetTempPath
#endif

class INuvGlobal {
 public:
  // 0: writes `text` as a log line; `kind` is not read.
  virtual void WriteLog(const char16_t* text, int32_t kind) = 0;
  // 1: system temporary directory + inner product name + separator (created).
  virtual std::u16string GetDefaultTempPath() = 0;
  // 2: the directory for temporary files, ending in a separator (created).
  virtual std::u16string GetTempPath() = 0;
  // 3: whether `path` begins with "%ResourceFilePath%/" (case-sensitive).
  virtual bool IsResourceFilePath(const char16_t* path) = 0;
  // 4: reserved; true.
  virtual bool ReservedCheck(uint32_t value1, uint32_t value2, uint32_t value3) = 0;
  // 5: the product name from the configuration (localised).
  virtual std::u16string GetProductName() = 0;
  // 6: stores the temporary path (null reads as empty) and its flag.
  virtual void SetTempPath(const char16_t* path, int32_t flag) = 0;
  // 7, 8: reserved; empty.
  virtual std::u16string GetReservedText1() = 0;
  virtual std::u16string GetReservedText2() = 0;
  // 9: WriteLog(text, 0) when "/Debug" is on the process command line.
  virtual void WriteDebugLog(const char16_t* text) = 0;
  // 10: reserved; false.
  virtual bool IsReservedMode() = 0;
  // 11.
  virtual ~INuvGlobal() = default;
};

class CNuvGlobalDefault : public INuvGlobal {
 public:
  // Reads "ProductName" and "InnerProductName" from the configuration; a
  // missing product name ends the process with exit code -1.
  CNuvGlobalDefault();
  CNuvGlobalDefault(const CNuvGlobalDefault&) = delete;
  CNuvGlobalDefault& operator=(const CNuvGlobalDefault&) = delete;

  void WriteLog(const char16_t* text, int32_t kind) override;
  std::u16string GetDefaultTempPath() override;
  std::u16string GetTempPath() override;
  bool IsResourceFilePath(const char16_t* path) override;
  bool ReservedCheck(uint32_t value1, uint32_t value2, uint32_t value3) override;
  std::u16string GetProductName() override;
  void SetTempPath(const char16_t* path, int32_t flag) override;
  std::u16string GetReservedText1() override;
  std::u16string GetReservedText2() override;
  void WriteDebugLog(const char16_t* text) override;
  bool IsReservedMode() override;
  ~CNuvGlobalDefault() override;

  // "InnerProductName", or the product name when that is empty.
  const std::u16string& GetInnerProductName() const { return m_innerProductName; }
  int32_t GetTempPathFlag() const { return m_tempPathFlag; }

 private:
  std::u16string m_productName;
  std::u16string m_innerProductName;
  std::u16string m_tempPath;
  int32_t m_tempPathFlag = 0;
  // Guards the temp path member, which the first GetTempPath call fills.
  CNuvCriticalSectionObject m_tempPathLock;
};

#endif  // NUV_SRC_COMMON_GLOBAL_H_
