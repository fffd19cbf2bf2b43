// Array operations of the run-time: shape and class queries, elementwise comparison
// and logic, reductions, text comparison, structure fields and concatenation.
//
// Indices and dimensions count from 1. Every operation returns a new value that the
// caller owns, never changes its arguments, and raises an error that names the
// operation ("strcmp: ...") on a value it does not accept. None accepts an absent value
// or the unassigned marker.
//
// Elementwise operations take numeric, logical and character arrays (a character counts
// by its 16-bit code) of the same size, or one of them a scalar, which is expanded to
// the other's size; the result is a logical array of that size.
//
// Threading: as the values, one thread.
#ifndef DROPKIT_RUNTIME_ARRAYS_H_
#define DROPKIT_RUNTIME_ARRAYS_H_

#include <cstddef>
#include <initializer_list>

#include "runtime/value.h"

namespace dk {

// ---- Shape and class -------------------------------------------------------------

// The length of any value: its largest dimension, 0 when it has no elements.
std::size_t mclLengthInt(const Value& v);
// The size of any value along `dim` (a whole number of 1 or more) as a double scalar:
// rows for 1, columns for 2, and 1 for every higher dimension.
Value mlfSize(const Value& v, const Value& dim);
// A logical scalar: true for a character array of any size.
Value mlfIschar(const Value& v);

// A logical array of v's shape, true where a character is a letter. Any value is
// accepted; anything but a character array is all false.
//
// Letters are A-Z and a-z and the letters of these blocks of the Basic Multilingual
// Plane: Latin-1 (U+00AA, U+00B5, U+00BA, U+00C0-U+00FF but for U+00D7 and U+00F7),
// Latin Extended-A and -B and the IPA letters (U+0100-U+02AF), Greek and Coptic and
// Cyrillic (their letters, not their signs or combining marks), Armenian, Hebrew and
// Arabic letters, Latin Extended Additional, Hiragana, Katakana, the CJK unified
// ideographs, Hangul syllables and the fullwidth Latin letters. Everything else,
// digits, marks and surrogate halves included, is no letter.
Value mlfIsletter(const Value& v);

// ---- Elementwise comparison and logic --------------------------------------------

// a == b and a <= b.
Value mclEq(const Value& a, const Value& b);
Value mclLe(const Value& a, const Value& b);
// a & b, a | b and ~a, on the truth of each element (nonzero is true). An element that
// is NaN has no truth and raises an error.
Value mclAnd(const Value& a, const Value& b);
Value mclOr(const Value& a, const Value& b);
Value mclNot(const Value& a);

// ---- Reductions ------------------------------------------------------------------

// Whether all (mlfAll) or any (mlfAny) elements are nonzero, for a numeric, logical or
// character array. A row, a column or a 0-by-0 array gives a logical scalar (all of no
// elements is true, any of none is false); any other matrix gives a logical row with
// one result per column.
Value mlfAll(const Value& v);
Value mlfAny(const Value& v);

// ---- Texts -----------------------------------------------------------------------

// Text comparison, exact and case-sensitive; accepts any values and never raises for
// set ones. Two values compared as a whole are equal only when both are character
// arrays of the same size and characters (two texts without characters are equal
// whatever their shape); anything else, a cell included, equals nothing.
//  - Neither is a cell: a logical scalar.
//  - Two cells of the same size: compared element by element, in that shape.
//  - Otherwise, when `b` is a cell, `a` is compared as a whole with each element of `b`,
//    in the shape of `b`; else `b` with each element of `a`, in the shape of `a`.
Value mlfStrcmp(const Value& a, const Value& b);

// ---- Structures ------------------------------------------------------------------

// A logical scalar: true when `s` is a structure and `name` a one-row text naming one
// of its fields exactly (letter case counts). Any other values give false.
Value mlfIsfield(const Value& s, const Value& name);
// The value of the field `name` (a one-row text) of the structure `s`. Raises when `s`
// is not a structure or has no such field.
Value mlfGetfield(const Value& s, const Value& name);
// `s` with the field `name` set to `value` (any value): an existing field keeps its
// place, a new one comes after the others. `s` is a structure, or the 0-by-0 numeric
// empty matrix, which gives a new 1-by-1 structure with that one field. `name` is a
// one-row text of at least one character; its form is not checked further.
Value mlfSetfield(const Value& s, const Value& name, const Value& value);

// ---- Concatenation ---------------------------------------------------------------

// [a b ...]: the parts side by side. Each part is a numeric, logical or character
// array; 0-by-0 parts are left out and the others must have the same number of rows.
// The result is a text when all the parts kept are texts, logical when all are logical,
// and numeric otherwise; texts do not mix with numbers. With no part kept, the result
// is the 0-by-0 empty text when every part is a text, else the 0-by-0 empty matrix.
Value mlfHorzcat(std::initializer_list<Value> parts);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_ARRAYS_H_
