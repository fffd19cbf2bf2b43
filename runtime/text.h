// Text operations of the run-time: formatting, number reading, joining and display.
//
// Formatting and number reading never depend on the process's locale: the decimal
// separator is always a point.
#ifndef DROPKIT_RUNTIME_TEXT_H_
#define DROPKIT_RUNTIME_TEXT_H_

#include <initializer_list>
#include <string>
#include <string_view>

#include "base/number_text.h"  // FormatNumber, for the run-time's users
#include "runtime/value.h"

namespace dk {

// Formats `args` by `format` and returns the text. Conversions: %s (a text, inserted
// unchanged and never interpreted), %i and %d (a whole number in decimal, no leading
// zeros), %f (fixed point, six digits after the point) and %% (a percent sign). The
// two characters backslash and n in the format become one line break; nothing else
// is an escape. Numeric arguments give one item per element; when the items run out
// the output stops before the first conversion that has none; items left over run the
// format again. A number under %s, or a number that is not whole under %i, is written
// in its shortest exact form; Inf and NaN are written as "Inf", "-Inf" and "NaN".
// Raises an error for any other conversion or for a non-text format.
Value mlfSprintf(const Value& format, std::initializer_list<Value> args = {});

// Formats as mlfSprintf does and appends the text to `out` as UTF-8 (escape units
// become the bytes they stand for), as a file receives it.
void FormatUtf8(const Value& format, std::initializer_list<Value> args, std::string& out);

// A format with one conversion and one argument (a name under "\n%s", a number under
// "...%i...") takes a shorter way to the same units. These two take the general way
// alone, so that tests can hold the shorter one to it.
Value SprintfByTheGeneralRules(const Value& format, std::initializer_list<Value> args = {});
void FormatUtf8ByTheGeneralRules(const Value& format, std::initializer_list<Value> args,
                                 std::string& out);

// For a format with one conversion and nothing else to interpret but "\n" (a name
// under "\n%s"): true, with views of the UTF-8 bytes the format puts before and after
// the item, so that formatting one text of one row by it gives before + the text +
// after. The format is compiled once, as the formatting calls compile it, and the views
// stay valid until the next formatting call. False for any other format.
bool OneItemPieces(const Value& format, std::string_view* before, std::string_view* after);

// Appends the units `text` views to `out` as UTF-8, as a file receives them.
void AppendUtf8(const TextView& text, std::string& out);

// Reads a row of numbers from a text: decimal numbers (sign, digits, point, exponent),
// "Inf" and "NaN" in any letter case, separated by blanks or commas. Returns the
// 0-by-0 empty matrix for a text that is not such a list (or is not a text).
// A number too large for a double reads as Inf (whatever the number of its digits), one
// too small as 0.
Value mlfStr2num(const Value& text);

// Appends `second` to `first` after dropping the end of line of `second`: its trailing
// blanks, one line break ("\n", "\r\n" or "\r") and the blanks before it. `first` is
// kept whole, so a text built piece by piece holds one line per piece, a piece that is
// only a line break included. `first` is taken by value so that
// `t = mlfStrcat(std::move(t), piece)` appends in place: a run of such joins costs time
// linear in the total length and never copies the text built so far.
// Raises an error when an argument is not a text of at most one row.
Value mlfStrcat(Value first, const Value& second);

// The console form of a value: a number or a row of numbers, a text, or a short
// description of a cell or structure.
std::string DisplayText(const Value& v);

// The console form of `v` quoted for a message (base/errors.h QuoteForMessage), between
// double quotes as the texts of the window's boxes are quoted.
std::string QuoteForMessage(const Value& v, char quote = '"');

// Shows a value on the console (standard output), followed by a line break.
void mlfDisp(const Value& v);
// Shows "name = " and the value on the console.
void mclPrintArray(const Value& v, const char* name);
// Shows "ans = " and the value when a statement gave an answer (v is not absent).
void mclPrintAns(const Value& v);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_TEXT_H_
