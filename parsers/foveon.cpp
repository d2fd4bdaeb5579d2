#include "parsers/foveon.h"

namespace vantrel {

HResult ParseFaveon(ParseState&) { return kSOk; }

}  // namespace vantrel
