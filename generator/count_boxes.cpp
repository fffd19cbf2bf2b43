#include "generator/count_boxes.h"

#include <cmath>
#include <string>

#include "base/errors.h"
#include "runtime/text.h"

namespace dk {
namespace {

// Checks one count box: one whole number from 0 to kMaxCount.
const Value& CheckCount(const char* label, const Value& text, const Value& number) {
  const std::string box = std::string("The box \"") + label + "\"";
  switch (FaultOfCount(number)) {
    case CountFault::kNone:
      break;
    case CountFault::kTooLarge:
      Raise(box + " holds " + QuoteForMessage(text) + ", more than the largest count allowed, " +
            FormatNumber(kMaxCount) + ".");
    case CountFault::kNotACount:
      Raise(box + " must hold one whole number of 0 or more; it holds " + QuoteForMessage(text) +
            ".");
  }
  return number;
}

// Checks, before any dialog opens, that a group of `numcount` names can be drawn.
void CheckListFits(const Value& numcount, std::optional<double> list_size) {
  if (!list_size) {
    Raise("No name list is loaded: use Load to read one before listing " +
          FormatNumber(numcount.num(0)) + " names per group.");
  }
  if (numcount.num(0) > *list_size) {
    Raise("Cannot omit " + FormatNumber(numcount.num(0)) +
          " names per group: the list loaded has only " + FormatNumber(*list_size) + " names.");
  }
}

}  // namespace

CountFault FaultOfCount(const Value& number) {
  const bool scalar = number.is_numeric() && number.numel() == 1;
  if (scalar && number.num(0) > kMaxCount) return CountFault::kTooLarge;
  if (!scalar || !std::isfinite(number.num(0)) || number.num(0) < 0 ||
      number.num(0) != std::floor(number.num(0))) {
    return CountFault::kNotACount;
  }
  return CountFault::kNone;
}

bool IsSeed(const Value& number) {
  return number.is_numeric() && number.numel() == 1 && std::isfinite(number.num(0));
}

Counts ReadCounts(const Value& num_text, const Value& rep_text, std::optional<double> list_size) {
  Counts c;
  c.numcount = mlfStr2num(num_text);
  mclPrintArray(c.numcount, "numcount");
  CheckCount("Names to leave out per group", num_text, c.numcount);
  c.repcount = CheckCount("Number of groups", rep_text, mlfStr2num(rep_text));
  CheckListFits(c.numcount, list_size);
  c.names = static_cast<std::uint32_t>(c.numcount.num(0));
  c.groups = static_cast<std::uint32_t>(c.repcount.num(0));
  return c;
}

}  // namespace dk
