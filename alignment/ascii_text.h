// Byte tests and case folding for alignment and tree texts, which NCL reads as ASCII.
#ifndef DROPKIT_ALIGNMENT_ASCII_TEXT_H_
#define DROPKIT_ALIGNMENT_ASCII_TEXT_H_

#include <string>

namespace dk {

// A blank, a tab, a line end, a vertical tab or a form feed.
inline bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Below 0x20 (tab and line ends included) or DEL.
inline bool IsControlByte(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// `s` with the ASCII letters in capitals; other bytes unchanged.
inline std::string AsciiUpper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_ASCII_TEXT_H_
