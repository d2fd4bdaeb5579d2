// A window onto the thumbnail road for diagnostics: the temporary files it names and the
// argument list it hands the ImageMagick component. Nothing is observed unless a caller
// installs an observer, so the shell extension pays nothing for it.
#pragma once

#include "platform/image_converter.h"

namespace vantrel {

class RenderObserver {
 public:
  virtual ~RenderObserver() = default;
  // `role` is "thumbnail-file" or "jpeg-file"; called once the name exists.
  virtual void OnTempPath(const char* role, const char* path) = 0;
  virtual void OnConvertArguments(const platform::ConvertArguments& arguments) = 0;
};

// Installs an observer for the current thread for the life of this object.
class ScopedRenderObserver {
 public:
  explicit ScopedRenderObserver(RenderObserver* observer);
  ~ScopedRenderObserver();
  ScopedRenderObserver(const ScopedRenderObserver&) = delete;
  ScopedRenderObserver& operator=(const ScopedRenderObserver&) = delete;

 private:
  RenderObserver* previous_;
};

void NotifyTempPath(const char* role, const char* path);
void NotifyConvertArguments(const platform::ConvertArguments& arguments);

}  // namespace vantrel
