// The compile-time check of wide formats: what it lets through and what it refuses. The same
// check runs here at run time, so that each verdict can be seen; a format that WideFormat
// refuses does not compile.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "os/wide_format.h"

namespace korvi::os {
namespace {

using V = WideFormatVerdict;

// It is a constant expression, which is what lets WideFormat run it while compiling.
static_assert(CheckWideFormat<unsigned, const wchar_t*>(L"0x%08x - %ls") == V::kMatches);

struct Case {
  const char* name;
  V verdict;
  V expected;
};

TEST(WideFormatTest, EachConversionTakesOnlyItsOwnArgument) {
  const Case cases[] = {
      // What the service's formats hold.
      {"the caught error's forms", CheckWideFormat<unsigned, const wchar_t*>(L" 0x%08x - %ls\n"), V::kMatches},
      {"no conversion", CheckWideFormat<>(L"[MS_SAR] Korvi::InitSAR()"), V::kMatches},
      {"a percent sign written", CheckWideFormat<int>(L"100%% at %d"), V::kMatches},
      {"flags, width and precision", CheckWideFormat<int, double>(L"%-+5d %08.3f"), V::kMatches},
      {"longer integers", CheckWideFormat<long, unsigned long long, std::size_t>(L"%ld %llX %zu"), V::kMatches},
      {"what varargs promote", CheckWideFormat<bool, unsigned char, short, float>(L"%d %d %i %g"), V::kMatches},
      {"text that is not const", CheckWideFormat<wchar_t*>(L"%ls"), V::kMatches},
      {"a pointer", CheckWideFormat<const int*>(L"%p"), V::kMatches},
      // An argument that is not what its conversion reads.
      {"a signed code in hex", CheckWideFormat<int>(L"0x%08x"), V::kArgumentDoesNotMatch},
      {"an unsigned for %d", CheckWideFormat<unsigned>(L"%d"), V::kArgumentDoesNotMatch},
      {"an unsigned long for %x", CheckWideFormat<unsigned long>(L"%x"), V::kArgumentDoesNotMatch},
      {"narrow text for %ls", CheckWideFormat<const char*>(L"%ls"), V::kArgumentDoesNotMatch},
      {"the two swapped", CheckWideFormat<const wchar_t*, unsigned>(L"0x%08x - %ls"), V::kArgumentDoesNotMatch},
      {"a string object", CheckWideFormat<std::wstring>(L"%ls"), V::kArgumentDoesNotMatch},
      {"a double for %u", CheckWideFormat<double>(L"%u"), V::kArgumentDoesNotMatch},
      // Conversions that are refused rather than passed unchecked.
      {"%s, whose meaning differs between C runtimes", CheckWideFormat<const wchar_t*>(L"%s"),
       V::kUnsupportedConversion},
      {"%c", CheckWideFormat<int>(L"%c"), V::kUnsupportedConversion},
      {"%n", CheckWideFormat<int*>(L"%n"), V::kUnsupportedConversion},
      {"a width from an argument", CheckWideFormat<int, int>(L"%*d"), V::kUnsupportedConversion},
      {"a short length", CheckWideFormat<int>(L"%hd"), V::kUnsupportedConversion},
      {"a signed size", CheckWideFormat<long>(L"%zd"), V::kUnsupportedConversion},
      {"a conversion cut short", CheckWideFormat<int>(L"at the end %"), V::kUnsupportedConversion},
      // As many arguments as conversions.
      {"one argument short", CheckWideFormat<unsigned>(L"%u and %u"), V::kTooFewArguments},
      {"one argument over", CheckWideFormat<unsigned, unsigned>(L"%u"), V::kTooManyArguments},
      {"an argument and no conversion", CheckWideFormat<unsigned>(L"100%%"), V::kTooManyArguments},
  };
  for (const Case& c : cases) EXPECT_EQ(c.verdict, c.expected) << c.name;
}

TEST(WideFormatTest, AFormatThatMatchesKeepsItsText) {
  constexpr WideFormat<unsigned, const wchar_t*> format(L" 0x%08x - %ls");
  EXPECT_EQ(std::wstring(format.c_str()), L" 0x%08x - %ls");
}

}  // namespace
}  // namespace korvi::os
