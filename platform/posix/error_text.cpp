#include <cstdint>

#include "platform/image_converter.h"

namespace vantrel::platform {
namespace {

struct ErrorName {
  std::uint32_t code;
  const char* text;
};

// The texts that Windows gives for the codes that this system meets, so that a report reads
// the same on both systems.
constexpr ErrorName kErrorTexts[] = {
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004005u, "Unspecified error"},
    {0x8000000Au, "The data necessary to complete this operation is not yet available."},
    {0x8000FFFFu, "Catastrophic failure"},
    {0x80040154u, "Class not registered"},
    {0x80070002u, "The system cannot find the file specified."},
    {0x80070003u, "The system cannot find the path specified."},
    {0x80070005u, "Access is denied."},
    {0x8007000Eu, "Not enough memory resources are available to complete this operation."},
    {0x80070057u, "The parameter is incorrect."},
    {0x80070070u, "There is not enough space on the disk."},
};

}  // namespace

std::string SystemErrorText(HResult hr) {
  for (const ErrorName& entry : kErrorTexts) {
    if (entry.code == static_cast<std::uint32_t>(hr)) return entry.text;
  }
  return {};
}

}  // namespace vantrel::platform
