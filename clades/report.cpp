#include "clades/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dk::clades {

std::string Ratio3(std::size_t part, std::size_t whole) {
  if (whole == 0) return "";
  const std::size_t thousandths = (2000 * part + whole) / (2 * whole);
  std::string frac = std::to_string(thousandths % 1000);
  frac.insert(0, 3 - frac.size(), '0');
  return std::to_string(thousandths / 1000) + "." + frac;
}

std::string Percent(std::size_t part, std::size_t whole) {
  if (whole == 0) return "";
  return std::to_string((200 * part + whole) / (2 * whole));
}

std::string CladeNames(const SupportResult& result, std::size_t c) {
  const Word* row = result.clades.sets.row(c);
  std::string out;
  for (std::size_t t = 0; t < result.names.size(); ++t) {
    if (!TestBit(row, t)) continue;
    if (!out.empty()) out += ',';
    out += result.names[t];
  }
  return out;
}

namespace {

std::string Length(double x) {
  if (std::isnan(x)) return "";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

std::string Printed(const char* format, double x) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, x);
  return std::string(buf, static_cast<std::size_t>(std::max(n, 0)));
}

// `x` with three decimals; a value that rounds to zero is "0.000", never "-0.000".
std::string Decimals3(double x) {
  const std::string text = Printed("%.3f", x);
  return text == "-0.000" ? "0.000" : text;
}

}  // namespace

std::string SupportTable(const SupportResult& result) {
  const bool labelled =
      std::any_of(result.reference_support.begin(), result.reference_support.end(),
                  [](const std::string& s) { return !s.empty(); });
  std::string out = "taxa\ttestable\tsurvived\tsurvival\tbranch_length";
  out += labelled ? "\treference_support\n" : "\n";
  for (std::size_t c = 0; c < result.clades.sets.size(); ++c) {
    out += CladeNames(result, c) + '\t' + std::to_string(result.testable[c]) + '\t' +
           std::to_string(result.survived[c]) + '\t' +
           Ratio3(result.survived[c], result.testable[c]) + '\t' + Length(result.clades.length[c]);
    if (labelled) out += '\t' + result.reference_support[c];
    out += '\n';
  }
  return out;
}

std::string OutcomesTable(const SupportResult& result) {
  const std::size_t groups = result.outcomes.size();
  std::string out = "taxa";
  for (std::size_t g = 0; g < groups; ++g) out += '\t' + std::to_string(g + 1);
  out += '\n';
  for (std::size_t c = 0; c < result.clades.sets.size(); ++c) {
    out += CladeNames(result, c);
    for (const GroupOutcome& o : result.outcomes) {
      out += '\t';
      if (o.testable.empty() || !TestBit(o.testable.data(), c)) continue;
      out += TestBit(o.survived.data(), c) ? '1' : '0';
    }
    out += '\n';
  }
  return out;
}

std::string TaxaTable(const SupportResult& result, const TaxonTests& tests) {
  std::string out = "taxon\ttaxa\ttestable_without\tfell_without\ttestable_with\tfell_with\tp\tq\n";
  for (const TaxonTest& t : tests.rows) {
    const ByTaxonRow& r = t.counts;
    out += result.names[r.taxon] + '\t' + CladeNames(result, r.clade) + '\t' +
           std::to_string(r.testable_without) + '\t' + std::to_string(r.fell_without) + '\t' +
           std::to_string(r.testable_with) + '\t' + std::to_string(r.fell_with) + '\t' +
           Printed("%.4g", t.p) + '\t' + Printed("%.4g", t.q) + '\n';
  }
  return out;
}

std::string InstabilityTable(const SupportResult& result, const TaxonTests& tests) {
  std::string out = "taxon\tclades\tsignificant\tinstability\n";
  for (const TaxonScore& s : tests.scores) {
    out += result.names[s.taxon] + '\t' + std::to_string(s.clades) + '\t' +
           std::to_string(s.significant) + '\t' + (s.clades > 0 ? Decimals3(s.instability) : "") +
           '\n';
  }
  return out;
}

std::string ByTaxonTable(const SupportResult& result, const std::vector<ByTaxonRow>& rows) {
  std::string out =
      "taxon\ttaxa\ttestable_without\tfell_without\tfall_rate_without\ttestable_with\t"
      "fell_with\tfall_rate_with\n";
  for (const ByTaxonRow& r : rows) {
    out += result.names[r.taxon] + '\t' + CladeNames(result, r.clade) + '\t' +
           std::to_string(r.testable_without) + '\t' + std::to_string(r.fell_without) + '\t' +
           Ratio3(r.fell_without, r.testable_without) + '\t' + std::to_string(r.testable_with) +
           '\t' + std::to_string(r.fell_with) + '\t' + Ratio3(r.fell_with, r.testable_with) + '\n';
  }
  return out;
}

std::string NewickName(const std::string& name) {
  bool plain = !name.empty();
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    plain = plain && ok;
  }
  if (plain) return name;
  std::string out = "'";
  for (const char c : name) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string AnnotatedNewick(const SupportResult& result, LabelStyle style) {
  const Tree& tree = result.shown;
  const Children children(tree);
  std::string out;
  // Iterative walk: a node is entered (its "(" written) and later left (its label and
  // length written); siblings are separated by ",".
  struct Item {
    int node;
    bool leaving;
  };
  std::vector<Item> stack{{0, false}};
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const int v = item.node;
    if (v < 0) {
      out += ',';
      continue;
    }
    if (!item.leaving && children.count(v) > 0) {
      out += '(';
      stack.push_back({v, true});
      for (const int* c = children.end(v); c != children.begin(v);) {
        stack.push_back({*--c, false});
        if (c != children.begin(v)) stack.push_back({-1, false});  // a comma
      }
      continue;
    }
    if (children.count(v) > 0) {
      out += ')';
      const long c = result.shown_clade[std::size_t(v)];
      const std::size_t survived = c >= 0 ? result.survived[std::size_t(c)] : 0;
      const std::size_t testable = c >= 0 ? result.testable[std::size_t(c)] : 0;
      if (testable > 0) {
        const std::string counts = std::to_string(survived) + "/" + std::to_string(testable);
        const std::string percent = Percent(survived, testable);
        out += style == LabelStyle::kPercent  ? percent
               : style == LabelStyle::kCounts ? counts
                                              : "'" + percent + " (" + counts + ")'";
      }
    } else {
      out += NewickName(tree.label[std::size_t(v)]);
    }
    if (v != 0 && !std::isnan(tree.length[std::size_t(v)]))
      out += ':' + Length(tree.length[std::size_t(v)]);
  }
  return out + ";\n";
}

}  // namespace dk::clades
