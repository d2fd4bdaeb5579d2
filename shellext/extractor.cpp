#include "shellext/extractor.h"

#include <cstdio>
#include <cstring>

#include "core/extract.h"
#include "core/report.h"
#include "platform/temp_files.h"
#include "render/observer.h"
#include "render/render.h"

namespace vantrel {

HResult Extractor::Load(const char* path) {
  if (path == nullptr) return kEPointer;
  // A path that does not fit the field is not cut (that would name another file): it is
  // dropped, so that the extraction fails to open it and the date stamp fails.
  if (std::strlen(path) >= sizeof state_.sourcePath) {
    state_.sourcePath[0] = '\0';
  } else {
    SetText(state_.sourcePath, path);
  }
  state_.stampIsNow = false;
  return kSOk;
}

HResult Extractor::GetLocation(std::int32_t width, std::int32_t height, std::uint32_t& flags) {
  state_.requestWidth = width;
  state_.requestHeight = height;
  if ((flags & kIeiFlagOrigSize) != 0 || (flags & kIeiFlagScreen) == 0) {
    flags |= kIeiFlagCache;
  } else {
    flags &= ~kIeiFlagCache;
    state_.stampIsNow = true;
  }
  return (flags & kIeiFlagAsync) != 0 ? kEPending : kSOk;
}

HResult Extractor::Extract(platform::Bitmap& out) {
  if (!platform::MakeTempName(kTempPrefix, "", state_.thumbPath)) {
    // Without a name there is nowhere to write the thumbnail file.
    state_.thumbPath[0] = '\0';
    ReportError(kEUnexpected, "Couldn't create output file.");
    return kEUnexpected;
  }
  NotifyTempPath("thumbnail-file", state_.thumbPath);
  HResult hr = ExtractThumbnail(state_, state_.sourcePath, state_.thumbPath);
  if (Failed(hr)) {
    std::remove(state_.thumbPath);
    return hr;
  }
  hr = RenderThumbnail(state_, out);
  return Failed(hr) ? hr : kSOk;
}

HResult Extractor::GetDateStamp(std::uint64_t& fileTime) {
  std::uint64_t written = 0;
  if (Failed(platform::GetLastWriteTime(state_.sourcePath, written))) return kEFail;
  fileTime = state_.stampIsNow ? platform::CurrentFileTime() : written;
  return kSOk;
}

}  // namespace vantrel
