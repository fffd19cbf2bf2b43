// The listing's formats: the one definition of a listing's bytes, which the generator's
// Save and Show write and the jackknife's listing of a design writes alike.
//
// They are the run-time's formats (runtime/text.h mlfSprintf): the two characters
// backslash and n stand for a line break, %i for a whole number, %s for a text inserted
// unchanged. Append puts values into them as the run-time's formatting does.
#ifndef DROPKIT_DESIGN_LISTING_FORMAT_H_
#define DROPKIT_DESIGN_LISTING_FORMAT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dk::listing {

// The first line, with the number of groups, then the names left out per group.
inline constexpr char kHeader[] = "Randomized listing of %i groups to %i taxa to omit";
// What ends the header's line in a file.
inline constexpr char kLineBreak[] = "\\n";
// The date line with the date text, the hour and the minute: in a file, on a line of
// its own after the header's line break; shown, after a line break of its own.
inline constexpr char kFileDate[] = "%s : %i:%i\\n";
inline constexpr char kShowDate[] = "\\n%s : %i:%i";
// Each group's heading, with its number (from 1).
inline constexpr char kHeading[] = "\\n***  Repetition %i  *****************************";
// Each name a group leaves out, as it stands in the list (its own line break included):
// in a file, and shown.
inline constexpr char kFileName[] = "\\n%s";
inline constexpr char kShowName[] = "\\n%s ";

// A value put into a format: a whole number for %i, a text for %s.
struct Arg {
  Arg(std::uint64_t n) : number(n) {}     // NOLINT(google-explicit-constructor)
  Arg(std::string_view t) : text(t) {}    // NOLINT(google-explicit-constructor)
  Arg(const std::string& t) : text(t) {}  // NOLINT(google-explicit-constructor)
  std::uint64_t number = 0;
  std::string_view text;
};

// Appends `format` to `out` with `args` put in, in order. Raises when the format holds a
// conversion other than %i and %s or more conversions than there are values.
void Append(std::string& out, std::string_view format, std::initializer_list<Arg> args);

}  // namespace dk::listing

#endif  // DROPKIT_DESIGN_LISTING_FORMAT_H_
