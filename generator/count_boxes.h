// The two counts of a listing as the window's boxes hold them: NumBox (names to leave out
// per group) and RepBox (number of groups), and the seed as InitBox holds it. Shared by
// the commands that draw groups (the generator's Save and Show, and Export) and by
// dropkit-batch's options, so that each reads the numbers and words its errors alike.
//
// Threading: one thread, as the run-time.
#ifndef DROPKIT_GENERATOR_COUNT_BOXES_H_
#define DROPKIT_GENERATOR_COUNT_BOXES_H_

#include <cstdint>
#include <optional>

#include "runtime/value.h"

namespace dk {

// The largest count a box may hold: counts are kept as 32-bit numbers.
inline constexpr double kMaxCount = 4294967295.0;

// What is wrong with `number` (a box's text as str2num reads it) as a count.
enum class CountFault {
  kNone,
  kTooLarge,   // more than kMaxCount (infinity too: a number too long to hold)
  kNotACount,  // not one finite whole number of 0 or more
};
CountFault FaultOfCount(const Value& number);

// True when `number` (a text as str2num reads it) is a seed the generator may be
// restarted from: one finite number.
bool IsSeed(const Value& number);

struct Counts {
  Value numcount;  // names to leave out per group, as read
  Value repcount;  // groups, as read
  std::uint32_t names = 0;
  std::uint32_t groups = 0;
};

// Reads the counts from `num_text` and `rep_text`, the "String"s of NumBox and RepBox:
// shows "numcount = N" on the console, then checks that each box holds one whole number
// from 0 to kMaxCount, then that a list is loaded (`list_size` is its number of names,
// nullopt when none is) and has at least numcount names. On failure raises the first
// of: "The box "Names to leave out per group" must hold one whole number of 0 or more;
// it holds "x".", the same for "Number of groups" (each box named by its label), "... holds "x",
// more than the largest count allowed, 4294967295.", "No name list is loaded: use Load to read one
// before listing N names per group.", "Cannot omit N names per group: the list loaded
// has only M names."
Counts ReadCounts(const Value& num_text, const Value& rep_text, std::optional<double> list_size);

}  // namespace dk

#endif  // DROPKIT_GENERATOR_COUNT_BOXES_H_
