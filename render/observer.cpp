#include "render/observer.h"

namespace vantrel {
namespace {

thread_local RenderObserver* tObserver = nullptr;

}  // namespace

ScopedRenderObserver::ScopedRenderObserver(RenderObserver* observer) : previous_(tObserver) {
  tObserver = observer;
}

ScopedRenderObserver::~ScopedRenderObserver() { tObserver = previous_; }

void NotifyTempPath(const char* role, const char* path) {
  if (tObserver != nullptr) tObserver->OnTempPath(role, path);
}

void NotifyConvertArguments(const platform::ConvertArguments& arguments) {
  if (tObserver != nullptr) tObserver->OnConvertArguments(arguments);
}

}  // namespace vantrel
