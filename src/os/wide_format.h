// A wide printf format, checked at compile time against the arguments it is given.
//
// The compilers' format checks (the format attribute, -Wformat) know narrow formats only, so a
// wide format is checked here instead: a WideFormat is made only from a constant (a literal),
// and only when each of its conversions takes the argument that stands in its place, with as
// many arguments as conversions. A format that does not match fails to compile, at the call
// site, naming what is wrong (one of the functions in wide_format_error).
//
// It knows the conversions that a debug message needs, and refuses the others rather than
// pass them unchecked: %s without `l` (narrow text in the C standard, wide text in the
// Microsoft C runtime's wide functions), %c, %n, and widths or precisions taken from an
// argument.
#pragma once

#include <cstddef>
#include <type_traits>

namespace korvi::os {

// How a variadic argument reaches the formatting function, after the default promotions.
enum class PassedAs {
  kInt,
  kUnsigned,
  kLong,
  kUnsignedLong,
  kLongLong,
  kUnsignedLongLong,
  kDouble,
  kWideText,    // a pointer to wchar_t
  kNarrowText,  // a pointer to char
  kPointer,     // any other object pointer
  kOther,       // nothing a wide format of ours takes (a class, an enum, nullptr, wchar_t...)
};

template <class T>
constexpr PassedAs PassedAsOf() noexcept {
  using U = std::remove_cv_t<std::decay_t<T>>;  // arrays and functions decay as varargs do
  if constexpr (std::is_same_v<U, bool> || std::is_same_v<U, char> || std::is_same_v<U, signed char> ||
                std::is_same_v<U, unsigned char> || std::is_same_v<U, short> ||
                std::is_same_v<U, unsigned short> || std::is_same_v<U, int>) {
    return PassedAs::kInt;
  } else if constexpr (std::is_same_v<U, unsigned>) {
    return PassedAs::kUnsigned;
  } else if constexpr (std::is_same_v<U, long>) {
    return PassedAs::kLong;
  } else if constexpr (std::is_same_v<U, unsigned long>) {
    return PassedAs::kUnsignedLong;
  } else if constexpr (std::is_same_v<U, long long>) {
    return PassedAs::kLongLong;
  } else if constexpr (std::is_same_v<U, unsigned long long>) {
    return PassedAs::kUnsignedLongLong;
  } else if constexpr (std::is_same_v<U, float> || std::is_same_v<U, double>) {
    return PassedAs::kDouble;
  } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, wchar_t>) {
    return PassedAs::kWideText;
  } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, char>) {
    return PassedAs::kNarrowText;
  } else if constexpr (std::is_pointer_v<U> && std::is_object_v<std::remove_pointer_t<U>>) {
    return PassedAs::kPointer;
  } else {
    return PassedAs::kOther;
  }
}

// What a check of a format against its arguments found.
enum class WideFormatVerdict {
  kMatches,
  kUnsupportedConversion,
  kArgumentDoesNotMatch,
  kTooFewArguments,
  kTooManyArguments,
};

// Checks `text` against the arguments as they are passed (`passed[0..count)`).
constexpr WideFormatVerdict CheckWideFormat(const wchar_t* text, const PassedAs* passed, std::size_t count) noexcept {
  enum class Length { kNone, kLong, kLongLong, kSize };
  const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
  std::size_t used = 0;
  for (const wchar_t* at = text; *at != L'\0'; ++at) {
    if (*at != L'%') continue;
    ++at;
    if (*at == L'%') continue;
    while (*at == L'-' || *at == L'+' || *at == L' ' || *at == L'#' || *at == L'0') ++at;
    while (isDigit(*at)) ++at;
    if (*at == L'.') {
      ++at;
      while (isDigit(*at)) ++at;
    }
    Length length = Length::kNone;
    if (*at == L'l' && at[1] == L'l') {
      length = Length::kLongLong;
      at += 2;
    } else if (*at == L'l') {
      length = Length::kLong;
      ++at;
    } else if (*at == L'z') {
      length = Length::kSize;
      ++at;
    }
    PassedAs wanted = PassedAs::kOther;
    switch (*at) {
      case L'd':
      case L'i':
        if (length == Length::kSize) return WideFormatVerdict::kUnsupportedConversion;
        wanted = length == Length::kNone   ? PassedAs::kInt
                 : length == Length::kLong ? PassedAs::kLong
                                           : PassedAs::kLongLong;
        break;
      case L'u':
      case L'x':
      case L'X':
      case L'o':
        wanted = length == Length::kNone       ? PassedAs::kUnsigned
                 : length == Length::kLong     ? PassedAs::kUnsignedLong
                 : length == Length::kLongLong ? PassedAs::kUnsignedLongLong
                                               : PassedAsOf<std::size_t>();
        break;
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
        if (length != Length::kNone) return WideFormatVerdict::kUnsupportedConversion;
        wanted = PassedAs::kDouble;
        break;
      case L's':
        if (length != Length::kLong) return WideFormatVerdict::kUnsupportedConversion;
        wanted = PassedAs::kWideText;
        break;
      case L'p':
        if (length != Length::kNone) return WideFormatVerdict::kUnsupportedConversion;
        wanted = PassedAs::kPointer;
        break;
      default:  // the end of the text included: a conversion cut short
        return WideFormatVerdict::kUnsupportedConversion;
    }
    if (used == count) return WideFormatVerdict::kTooFewArguments;
    if (passed[used++] != wanted) return WideFormatVerdict::kArgumentDoesNotMatch;
  }
  return used == count ? WideFormatVerdict::kMatches : WideFormatVerdict::kTooManyArguments;
}

template <class... Args>
constexpr WideFormatVerdict CheckWideFormat(const wchar_t* text) noexcept {
  constexpr PassedAs passed[] = {PassedAsOf<Args>()..., PassedAs::kOther};  // never empty
  return CheckWideFormat(text, passed, sizeof...(Args));
}

// Declared, never defined, and not constexpr: a WideFormat that calls one does not compile,
// and the compiler's error names it.
namespace wide_format_error {
void ConversionIsNotOneThatIsChecked();
void ArgumentDoesNotMatchItsConversion();
void TooFewArgumentsForTheConversions();
void TooManyArgumentsForTheConversions();
}  // namespace wide_format_error

template <class... Args>
class WideFormat {
 public:
  // consteval: the text must be a constant, so that it can be checked here.
  consteval WideFormat(const wchar_t* text) : text_(text) {
    switch (CheckWideFormat<Args...>(text)) {
      case WideFormatVerdict::kMatches:
        break;
      case WideFormatVerdict::kUnsupportedConversion:
        wide_format_error::ConversionIsNotOneThatIsChecked();
        break;
      case WideFormatVerdict::kArgumentDoesNotMatch:
        wide_format_error::ArgumentDoesNotMatchItsConversion();
        break;
      case WideFormatVerdict::kTooFewArguments:
        wide_format_error::TooFewArgumentsForTheConversions();
        break;
      case WideFormatVerdict::kTooManyArguments:
        wide_format_error::TooManyArgumentsForTheConversions();
        break;
    }
  }

  constexpr const wchar_t* c_str() const noexcept { return text_; }

 private:
  const wchar_t* text_;
};

}  // namespace korvi::os
