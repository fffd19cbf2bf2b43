// Conversion between bytes and the 16-bit character units of text values.
//
// Decoding is lossless: every byte that is not part of a valid UTF-8 sequence becomes
// the escape unit 0xDC00 + byte (a lone low surrogate, never produced by valid UTF-8),
// and encoding turns each escape unit back into its byte. So any byte string survives
// a decode followed by an encode unchanged.
#ifndef DROPKIT_BASE_UTF8_H_
#define DROPKIT_BASE_UTF8_H_

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

}  // namespace dk

#endif  // DROPKIT_BASE_UTF8_H_
