// Conversion between bytes and the 16-bit character units of text values.
//
// Decoding is lossless: every byte that is not part of a valid UTF-8 sequence becomes
// the escape unit 0xDC00 + byte (a lone low surrogate, never produced by valid UTF-8),
// and encoding turns each escape unit back into its byte. So any byte string survives
// a decode followed by an encode unchanged.
#ifndef DROPKIT_BASE_UTF8_H_
#define DROPKIT_BASE_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace dk {

// True when every byte is below 0x80.
bool IsAscii(std::string_view bytes);

// Appends the units of `bytes` to `out`.
void DecodeUtf8(std::string_view bytes, std::u16string& out);
std::u16string DecodeUtf8(std::string_view bytes);

// Appends the bytes of `units` to `out`. Valid surrogate pairs become 4-byte sequences,
// escape units their byte; other lone surrogates are written as 3-byte sequences.
void EncodeUtf8(std::u16string_view units, std::string& out);
std::string EncodeUtf8(std::u16string_view units);

// The length of the text of `n` units, unit(i) for i < n (bytes or 16-bit units), without
// its end of line: the blanks (spaces, tabs) at its end, one line break ("\n", "\r\n" or
// "\r") and the blanks before that line break.
template <typename UnitAt>
std::size_t LengthWithoutEndOfLine(std::size_t n, UnitAt unit) {
  const auto blank = [&](std::size_t i) { return unit(i) == ' ' || unit(i) == '\t'; };
  while (n > 0 && blank(n - 1)) --n;
  if (n > 0 && unit(n - 1) == '\n') --n;
  if (n > 0 && unit(n - 1) == '\r') --n;
  while (n > 0 && blank(n - 1)) --n;
  return n;
}

}  // namespace dk

#endif  // DROPKIT_BASE_UTF8_H_
