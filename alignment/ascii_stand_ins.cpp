#include "alignment/ascii_stand_ins.h"

namespace dk {
namespace {

// Neither letters nor a state, gap, missing or match symbol of any data type.
constexpr std::string_view kDigits = "0123456789#$%&+<=>@^|~";

bool Beyond(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// The `n`th stand-in of `length` bytes, or "" when there are not that many.
std::string StandIn(std::size_t length, std::size_t n) {
  std::string out(length, kDigits[0]);
  out[0] = '!';
  for (std::size_t i = length; i-- > 1;) {
    out[i] = kDigits[n % kDigits.size()];
    n /= kDigits.size();
  }
  return n == 0 ? out : std::string();
}

template <typename OnRun>
void ForEachRun(std::string_view s, OnRun on_run) {
  for (std::size_t i = 0; i < s.size();) {
    if (!Beyond(s[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < s.size() && Beyond(s[end])) ++end;
    on_run(i, s.substr(i, end - i));
    i = end;
  }
}

}  // namespace

bool AsciiStandIns::Apply(std::string* text) {
  std::string out = *text;
  bool any = false, full = false;
  ForEachRun(*text, [&](std::size_t at, std::string_view run) {
    any = true;
    auto it = stand_in_.find(run);
    if (it == stand_in_.end()) {
      std::string made = StandIn(run.size(), used_[run.size()]++);
      if (made.empty()) full = true;
      it = stand_in_.emplace(std::string(run), std::move(made)).first;
    }
    if (!it->second.empty()) out.replace(at, run.size(), it->second);
  });
  if (!any || full) return false;
  *text = std::move(out);
  return true;
}

std::string AsciiStandIns::Of(std::string_view s) const {
  std::string out(s);
  ForEachRun(s, [&](std::size_t at, std::string_view run) {
    const auto it = stand_in_.find(run);
    if (it != stand_in_.end()) out.replace(at, run.size(), it->second);
  });
  return out;
}

std::vector<std::string> AsciiStandIns::Originals(std::string_view original,
                                                  std::string_view replaced,
                                                  const std::vector<std::string>& names) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (const std::string& name : names) {
    const std::size_t at = name.empty() ? std::string_view::npos : replaced.find(name, from);
    if (at == std::string_view::npos) {
      out.push_back(name);
      continue;
    }
    out.emplace_back(original.substr(at, name.size()));
    from = at + name.size();
  }
  return out;
}

}  // namespace dk
