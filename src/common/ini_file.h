// CNuvIniFileEx: the INI-style line store behind the configuration file, and
// the splitting rule shared by its line split and by list values.
#ifndef NUV_SRC_COMMON_INI_FILE_H_
#define NUV_SRC_COMMON_INI_FILE_H_

#include <string>
#include <vector>

// Splits `text` at `separator`: an empty text gives no pieces, one separator
// at the very start is skipped, adjacent separators give an empty piece, and a
// separator at the very end gives no empty last piece.
std::vector<std::u16string> SplitText(const std::u16string& text, char16_t separator);

class CNuvIniFileEx {
 public:
  CNuvIniFileEx() = default;
  virtual ~CNuvIniFileEx() = default;

  // Replaces every line by those of `text` (split at LF, one trailing CR of
  // each piece removed, empty lines kept).
  void LoadText(const std::u16string& text);

  // The value of `key` in the first block headed "[section]" (both compared
  // without regard to case); `default_value` (null: empty) when not found.
  std::u16string GetString(const char16_t* section,
                           const char16_t* key,
                           const char16_t* default_value) const;

  const std::vector<std::u16string>& GetLines() const { return m_lines; }

 private:
  std::u16string m_name;
  std::vector<std::u16string> m_lines;
};

#endif  // NUV_SRC_COMMON_INI_FILE_H_
