// What korvi-capture and korvi-supervisor both need of their own command line and folder.
#pragma once

#include <string>
#include <vector>

namespace korvi::capture {

// The arguments as the command line readers see them: each UTF-16 unit on its own as one to
// three bytes (as UTF-8 encodes it), so ASCII stays ASCII, options are recognised, and two
// arguments have the same form only if they are the same. Every argument is then taken by
// its index, unconverted.
std::vector<std::string> ArgumentForms(int argc, wchar_t** argv);

// `name` in the folder of the running exe. Throws CaptureError if that folder is not known.
std::wstring BesideUs(const std::wstring& name);

}  // namespace korvi::capture
