#include "parsers/rollei.h"

namespace vantrel {

HResult ParseRollei(ParseState&) { return kSOk; }

}  // namespace vantrel
