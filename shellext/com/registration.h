// Registration of the class, its AppID and the type library, and the type information behind
// the class's IDispatch.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace vantrel::shell {

// The type information of IRawImageExtractor from the registered type library (VantrelLib
// 1.0), loaded on first use and shared by all objects. On success `*info` holds a reference for
// the caller.
HRESULT GetExtractorTypeInfo(ITypeInfo** info);

// Drops the shared type information; called when the module is unloaded.
void ReleaseExtractorTypeInfo();

}  // namespace vantrel::shell
