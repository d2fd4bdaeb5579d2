#include "parsers/ciff.h"

namespace vantrel {

HResult ParseCiff(ParseState&, std::int32_t, std::int32_t, std::int32_t) { return kSOk; }

}  // namespace vantrel
