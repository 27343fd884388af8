// The fixed parts of the --html page: its style sheet and its script (the
// payload panel). Kept apart from the layout code that fills the page.
#ifndef NUV_HOST_CLIENT_SEQUENCE_PAGE_STYLE_H_
#define NUV_HOST_CLIENT_SEQUENCE_PAGE_STYLE_H_

namespace nuv {
namespace host {

extern const char kSequencePageStyle[];
extern const char kSequencePageScript[];

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SEQUENCE_PAGE_STYLE_H_
