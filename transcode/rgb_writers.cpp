#include "transcode/rgb_writers.h"

namespace vantrel {

HResult RolleiToPpm(ParseState&, std::FILE*) { return kSOk; }
HResult FoveonToPpm(ParseState&, std::FILE*) { return kSOk; }

}  // namespace vantrel
