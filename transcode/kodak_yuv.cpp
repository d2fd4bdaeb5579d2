#include "transcode/kodak_yuv.h"

namespace vantrel {

HResult KodakYuvDecode(ParseState&, std::FILE*) { return kSOk; }

}  // namespace vantrel
