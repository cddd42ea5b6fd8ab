#include "platform/sim/models/error_text.h"

namespace korvi::sim {

std::wstring ErrorText(std::int32_t code) {
  switch (static_cast<std::uint32_t>(code)) {
    case 0x80004001: return L"Not implemented";
    case 0x80004003: return L"Invalid pointer";
    case 0x80004004: return L"Operation aborted";
    case 0x80004005: return L"Unspecified error";
    case 0x8000000E: return L"A method was called at an unexpected time.";
    case 0x80040154: return L"Class not registered";
    case 0x800401F0: return L"CoInitialize has not been called.";
    case 0x80010106: return L"Cannot change thread mode after it is set.";
    case 0x80070005: return L"Access is denied.";
    case 0x8007000E: return L"Not enough memory resources are available to complete this operation.";
    case 0x80070057: return L"The parameter is incorrect.";
    case 0x8007048F: return L"The device is not connected.";
    case 0x800705B4: return L"This operation returned because the timeout period expired.";
    default: return L"Unknown error";
  }
}

}  // namespace korvi::sim
