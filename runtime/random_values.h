// The random generator's functions on values (random/random.h holds the generator).
#ifndef DROPKIT_RUNTIME_RANDOM_VALUES_H_
#define DROPKIT_RUNTIME_RANDOM_VALUES_H_

#include "random/random.h"
#include "runtime/value.h"

namespace dk {

// A 1-by-n row holding 1..n in uniformly random order; the generator moves on by one
// permutation (also for n of 0 or 1).
// REQUIRES: n is one whole number from 0 to 2^53; otherwise raises and draws nothing.
Value mlfRandperm(const Value& n);

// The first k entries of the permutation that mlfRandperm(n) would return now, as a
// 1-by-k row, and the generator moves on exactly as mlfRandperm(n) would move it.
// Costs O(k) time and memory, whatever n is.
// REQUIRES: n and k are whole numbers with 0 <= k <= n <= 2^53; otherwise raises and
// draws nothing.
Value mlfRandperm(const Value& n, const Value& k);

// When `v` is the very array the latest mlfRandperm(n, k) returned (not a copy that was
// changed since), its entries in ascending order, as mlfSort(v) gives them: they are
// sorted as they are drawn. An absent value otherwise.
Value SortedDraw(const Value& v);

// With `keyword` the text "state", restarts the generator from `seed` (one number) and
// returns the 0-by-0 matrix. Raises for any other keyword, a seed that is not one
// number, or more than one output.
Value mlfNRand(int nargout, const Value& keyword, const Value& seed);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_RANDOM_VALUES_H_
