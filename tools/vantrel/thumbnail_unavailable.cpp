// Builds whose platform has no rendering seam yet have no `vantrel thumbnail`.
#include "tools/vantrel/commands.h"

namespace vantrel::cli {

const Command* ThumbnailCommand() { return nullptr; }

}  // namespace vantrel::cli
