// The identifiers of the Vantrel COM server, fixed for the product. The registry scripts and
// the type library source carry the same values in text.
#pragma once

namespace vantrel::shell {

// Registry text forms: braces, upper-case hexadecimal, groups of 8-4-4-4-12.
inline constexpr char kClsidText[] = "{54D0448A-80AE-40A0-BCC1-25A6E3B923D0}";  // RawImageExtractor
inline constexpr char kIidText[] = "{CA3180DF-513A-49CE-98A8-D5730526017B}";  // IRawImageExtractor
inline constexpr char kLibidText[] = "{32CD29C8-6DF7-41D4-AB4B-C852606282D4}";  // VantrelLib 1.0
inline constexpr char kAppidText[] =
    "{A150E859-1C74-4DC6-BD11-F82F49A3CA1A}";  // the module's AppID

inline constexpr char kProgId[] = "Vantrel.RawImageExtractor.1";
inline constexpr char kVersionIndependentProgId[] = "Vantrel.RawImageExtractor";

// The ImageMagick component that does the image work.
inline constexpr char kImageMagickClsidText[] = "{5630BE5A-3F5F-4BCA-A511-AD6A6386CAC1}";
inline constexpr char kImageMagickImageIidText[] = "{7F670536-00AE-4EDF-B06F-13BD22B25624}";

}  // namespace vantrel::shell
