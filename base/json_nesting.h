// A bound on how deeply a JSON text nests, checked before a parser (whose values are
// built and freed recursively) sees it.
#ifndef DROPKIT_BASE_JSON_NESTING_H_
#define DROPKIT_BASE_JSON_NESTING_H_

#include <cstddef>
#include <string_view>

namespace dk {

// The offset of the "[" or "{" at which the lists and objects of the JSON text `text`
// first nest more than `max_depth` levels deep, or std::string_view::npos when they
// never do. Brackets inside strings do not count; the text need not be valid JSON.
std::size_t JsonTooDeepAt(std::string_view text, std::size_t max_depth);

}  // namespace dk

#endif  // DROPKIT_BASE_JSON_NESTING_H_
