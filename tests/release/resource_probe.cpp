// Reads a program's version resource and embedded manifest back through the system's own
// calls, as Explorer's properties page and the loader do, and checks them against what the
// build put in. Usage:
//   resource_probe PROGRAM.exe VERSION DESCRIPTION COMPANY PRODUCT COPYRIGHT
// VERSION is the project's three-part version; OriginalFilename must be PROGRAM's own file
// name (korvi-sar.exe, korvi-capture.exe). Prints one line per wrong or missing piece
// and ends with 1 if there was one, 0 otherwise (2 for bad usage).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Fail(const std::string& what) {
  std::printf("resource_probe: %s\n", what.c_str());
  ++failures;
}

// The arguments are ASCII (a version, a description of our own); wider text is refused.
std::wstring Widen(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) > 0x7f) {
      std::fprintf(stderr, "resource_probe: only ASCII arguments: %s\n", text);
      std::exit(2);
    }
    wide.push_back(static_cast<wchar_t>(*c));
  }
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

void CheckString(const std::vector<BYTE>& block, const wchar_t* name, const std::wstring& expected) {
  std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;  // in characters, the terminator included
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr || length == 0) {
    Fail("no " + Narrow(name) + " in the version resource");
    return;
  }
  std::wstring actual(static_cast<const wchar_t*>(value));
  if (actual != expected) Fail(Narrow(name) + " is \"" + Narrow(actual) + "\", expected \"" + Narrow(expected) + "\"");
}

// The strings the build set (FileDescription, CompanyName, ProductName, LegalCopyright).
struct Strings {
  std::wstring description, company, product, copyright;
};

void CheckVersionResource(const std::wstring& program, const std::wstring& version, const Strings& expected,
                          unsigned major, unsigned minor, unsigned patch) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  if (size == 0) {
    Fail("no version resource (GetFileVersionInfoSizeW: error " + std::to_string(GetLastError()) + ")");
    return;
  }
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(program.c_str(), 0, size, block.data())) {
    Fail("GetFileVersionInfoW failed: error " + std::to_string(GetLastError()));
    return;
  }

  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    Fail("no fixed file information");
  } else {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const DWORD ms = (major << 16) | minor;
    const DWORD ls = patch << 16;
    if (fixed->dwSignature != 0xFEEF04BDu) Fail("the fixed file information has a wrong signature");
    if (fixed->dwFileVersionMS != ms || fixed->dwFileVersionLS != ls) Fail("the fixed file version is not the project's");
    if (fixed->dwProductVersionMS != ms || fixed->dwProductVersionLS != ls)
      Fail("the fixed product version is not the project's");
    if (fixed->dwFileType != VFT_APP) Fail("the file type is not an application");
    if (fixed->dwFileOS != VOS_NT_WINDOWS32) Fail("the file's system is not 32/64-bit Windows NT");
    if ((fixed->dwFileFlags & fixed->dwFileFlagsMask & VS_FF_DEBUG) != 0) Fail("the file is flagged as a debug build");
  }

  // The one translation the strings are filed under: U.S. English, Unicode.
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4 ||
      static_cast<const WORD*>(value)[0] != 0x0409 || static_cast<const WORD*>(value)[1] != 1200) {
    Fail("the translation is not 0x0409 (U.S. English), 1200 (Unicode)");
  }

  CheckString(block, L"FileVersion", version);
  CheckString(block, L"ProductVersion", version);
  CheckString(block, L"ProductName", expected.product);
  CheckString(block, L"FileDescription", expected.description);
  CheckString(block, L"CompanyName", expected.company);
  CheckString(block, L"LegalCopyright", expected.copyright);
  CheckString(block, L"OriginalFilename", program.substr(program.find_last_of(L"\\/") + 1));
}

// The manifest the loader reads (resource 1 of type RT_MANIFEST, 24), as text.
void CheckManifest(const std::wstring& program) {
  HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (image == nullptr) {
    Fail("cannot load the program as data: error " + std::to_string(GetLastError()));
    return;
  }
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  HGLOBAL loaded = found != nullptr ? LoadResource(image, found) : nullptr;
  const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (data == nullptr) {
    Fail("no embedded manifest (RT_MANIFEST 1)");
    FreeLibrary(image);
    return;
  }
  const std::string manifest(data, SizeofResource(image, found));
  FreeLibrary(image);

  struct Piece {
    const char* text;
    bool wanted;
    const char* why;
  };
  const Piece pieces[] = {
      {"<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">", true, "the assembly element"},
      {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>", true, "running as the invoker"},
      {"<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", true, "Windows 10 and 11 as supported"},
      {"</assembly>", true, "the assembly's end"},
      // Anything that hands a class to a DLL has no place in the shipped program.
      {"<file", false, "a file element"},
      {"activatableClass", false, "an activatable class"},
      {"comClass", false, "a COM class"},
  };
  for (const Piece& piece : pieces) {
    const bool present = manifest.find(piece.text) != std::string::npos;
    if (present != piece.wanted) Fail(std::string("the embedded manifest ") + (piece.wanted ? "lacks " : "has ") + piece.why);
  }
}

}  // namespace

int main(int argc, char** argv) {
  unsigned major = 0, minor = 0, patch = 0;
  char end = '\0';
  if (argc != 7 || std::sscanf(argv[2], "%u.%u.%u%c", &major, &minor, &patch, &end) != 3 || major > 0xffff ||
      minor > 0xffff || patch > 0xffff) {
    std::fprintf(stderr, "usage: resource_probe PROGRAM.exe MAJOR.MINOR.PATCH DESCRIPTION COMPANY PRODUCT COPYRIGHT\n");
    return 2;
  }
  const std::wstring program = Widen(argv[1]);
  const Strings expected{Widen(argv[3]), Widen(argv[4]), Widen(argv[5]), Widen(argv[6])};
  CheckVersionResource(program, Widen(argv[2]), expected, major, minor, patch);
  CheckManifest(program);
  return failures == 0 ? 0 : 1;
}
