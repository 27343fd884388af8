// Reading the sub-process's diagnostic log (UTF-16LE with a byte-order mark,
// CR LF line ends) back as UTF-8 lines for the transcript.
#ifndef NUV_HOST_CLIENT_LOG_FILE_READER_H_
#define NUV_HOST_CLIENT_LOG_FILE_READER_H_

#include <string>
#include <vector>

namespace nuv {
namespace host {

// Decodes `bytes`: a leading FF FE is dropped, an odd last byte is ignored,
// unpaired surrogates become U+FFFD; lines end at LF with one CR before it
// removed. A last line without a line end is kept.
std::vector<std::string> DecodeUtf16LeLines(const std::string& bytes);

// The lines of the file at `path`; false when it cannot be read (typically:
// the sub-process never wrote a line).
bool ReadLogFileLines(const std::string& path, std::vector<std::string>* lines);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_LOG_FILE_READER_H_
