// Bounds of a thumbnail request.
#pragma once

namespace vantrel {

// The largest thumbnail side, in pixels, that the renderer makes. Shells ask for a few
// hundred; the bound keeps a request from making the canvas, and so the memory it takes,
// arbitrarily large.
inline constexpr int kMaxThumbnailSide = 4096;

}  // namespace vantrel
