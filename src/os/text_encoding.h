// UTF-8 from the platform's wide texts. Invalid code units (lone surrogates, values past
// U+10FFFF) become U+FFFD, as the platform's own conversion does without a default character.
#pragma once

#include <string>
#include <string_view>

namespace korvi::os {

namespace detail {
inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}
inline constexpr char32_t kReplacement = 0xFFFD;
}  // namespace detail

inline std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      detail::AppendUtf8(out, c);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      detail::AppendUtf8(out, detail::kReplacement);
    } else {
      detail::AppendUtf8(out, unit);
    }
  }
  return out;
}

// wchar_t holds UTF-16 on Windows and UTF-32 elsewhere.
inline std::string Utf8FromWide(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == 2) {
    return Utf8FromUtf16(std::u16string(text.begin(), text.end()));
  } else {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t unit : text) {
      const auto c = static_cast<char32_t>(unit);
      detail::AppendUtf8(out, (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? detail::kReplacement : c);
    }
    return out;
  }
}

}  // namespace korvi::os
