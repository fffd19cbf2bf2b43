#include "jackknife/name_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "testing/allocation_count.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using Strings = std::vector<std::string>;

// The texts of findings that are few enough to be given all as text.
Strings All(const NameFindings& findings) {
  EXPECT_LE(findings.first.size(), kFindingsShown);
  EXPECT_EQ(findings.count, findings.first.size());
  return findings.first;
}

TEST(NameChecksTest, ACleanListHasNoFindings) {
  EXPECT_EQ(All(CheckNames({"Alpha\n", "Beta\n", "Gamma.x\n"})), Strings{});
  EXPECT_EQ(All(CheckNames({})), Strings{});
}

TEST(NameChecksTest, EachKindOfFindingNamesItsLines) {
  const Strings lines = {"Alpha\n",  "\n",      "Beta\n",         "  \t\n",  "Alpha\n", " Gamma\n",
                         "Delta \n", " Eps \n", "Homo sapiens\n", "Alpha\n", "Zeta"};
  EXPECT_EQ(All(CheckNames(lines)),
            (Strings{
                "line 2: blank line",
                "line 4: blank line",
                "lines 1 and 5: \"Alpha\" is listed twice",
                "line 6: \" Gamma\" has leading blanks",
                "line 7: \"Delta \" has trailing blanks",
                "line 8: \" Eps \" has leading and trailing blanks",
                // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one finding, two lines
                "line 9: \"Homo sapiens\" cannot stand unquoted in PHYLIP or NEXUS: a blank "
                "(PHYLIP ends a name at a blank; NEXUS needs quotes)",
                "lines 1 and 10: \"Alpha\" is listed 3 times",
                "line 11: the last line has no line break",
            }));
}

// A long list is checked on two threads (repeats on one, each line on the other); its
// findings still come in line order, a line's repeat before what else it has.
TEST(NameChecksTest, ALongListGivesItsFindingsInLineOrder) {
  Strings lines;
  for (int i = 0; i < 70000; ++i) lines.push_back("n" + std::to_string(i) + "\n");
  lines[5] = "\n";
  lines[100] = lines[65000] = lines[69000] = "x\n";
  lines[40000] = "n3\n";
  lines[50000] = lines[60000] = " lead\n";
  lines[69999] = "a b";
  const Strings want = {
      "line 6: blank line",
      "lines 4 and 40001: \"n3\" is listed twice",
      "line 50001: \" lead\" has leading blanks",
      "lines 50001 and 60001: \" lead\" is listed twice",
      "line 60001: \" lead\" has leading blanks",
      "lines 101 and 65001: \"x\" is listed twice",
      "lines 101 and 69001: \"x\" is listed 3 times",
      // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one finding, two lines
      "line 70000: \"a b\" cannot stand unquoted in PHYLIP or NEXUS: a blank (PHYLIP ends a "
      "name at a blank; NEXUS needs quotes)",
      "line 70000: the last line has no line break",
  };
  EXPECT_EQ(All(CheckNames(lines)), want);
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  EXPECT_EQ(All(CheckNameSource(views.size(),
                                [&](std::size_t first, std::size_t n, std::string_view* out) {
                                  std::copy_n(views.begin() + static_cast<std::ptrdiff_t>(first), n,
                                              out);
                                })),
            want);
}

// A list of faulty names is counted in full, but only its first findings are made into
// text, on one thread and on two. Every list below has n findings: n - 1 of blank lines
// and of "x" listed again, and a last line without a line break.
TEST(NameChecksTest, ManyFindingsAreCountedAndOnlyTheFirstGivenAsText) {
  const auto blank = [](std::size_t line) {
    return "line " + std::to_string(line) + ": blank line";
  };
  const auto repeat = [](std::size_t line, std::size_t times) {
    return "lines 1 and " + std::to_string(line) + ": \"x\" is listed " +
           (times == 2 ? "twice" : std::to_string(times) + " times");
  };
  struct Case {
    const char* what;
    bool (*is_x)(std::size_t i);  // line i + 1 holds "x", else it is blank (line 1 is "x")
  };
  const Case cases[] = {
      {"alternating", [](std::size_t i) { return i % 2 == 0; }},
      {"repeats first", [](std::size_t i) { return i < 40; }},
      {"blank lines first", [](std::size_t i) { return i == 0 || i > 40; }},
  };
  for (const std::size_t n : {std::size_t{101}, std::size_t{70001}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(n) + " lines");
      Strings lines, want;
      std::size_t times = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const bool x = c.is_x(i) || i + 1 == n;
        lines.push_back(x ? "x\n" : "\n");
        if (want.size() == kFindingsShown || i == 0) {
          times += x;
          continue;
        }
        want.push_back(x ? repeat(i + 1, ++times) : blank(i + 1));
      }
      lines.back() = "x";
      const test::AllocationCount allocated;
      const NameFindings found = CheckNames(lines);
      EXPECT_EQ(found.first, want);
      EXPECT_EQ(found.count, n);
      // The hash table of positions and a few texts, not a text for each finding.
      EXPECT_LT(allocated.bytes(), 16 * n + 65536);
    }
  }
}

TEST(NameChecksTest, TheLineBreakIsNotPartOfTheName) {
  EXPECT_EQ(All(CheckNames({"a\n", "a"})), (Strings{"lines 1 and 2: \"a\" is listed twice",
                                                    "line 2: the last line has no line break"}));
  // Names differing only in blanks are not the same name; the blanks are reported.
  EXPECT_EQ(All(CheckNames({"a\n", "a \n"})), Strings{"line 2: \"a \" has trailing blanks"});
}

TEST(NameChecksTest, ReasonsAreGivenTogetherForTheTrimmedName) {
  EXPECT_EQ(
      All(CheckNames({" Pan's_x \n"})),
      (Strings{"line 1: \" Pan's_x \" has leading and trailing blanks",
               "line 1: \" Pan's_x \" cannot stand unquoted in PHYLIP or NEXUS: the "
               "punctuation ' (NEXUS needs quotes; tree files written from PHYLIP break on ( ) "
               "[ ] : ; , ')"}));
}

TEST(NameChecksTest, ControlCharactersAndBadBytesStayOnOneLine) {
  const Strings findings = All(CheckNames({std::string("a\x01"
                                                       "b\n"),
                                           "caf\xE9\n"}));
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0],
            "line 1: \"a\\x01b\" cannot stand unquoted in PHYLIP or NEXUS: a control character "
            "(neither format can hold it)");
  EXPECT_EQ(findings[1], "line 2: \"caf\\xe9\" is not valid UTF-8");
}

TEST(NameChecksTest, AlignmentsCountTaxa) {
  EXPECT_EQ(All(CheckNames({"A\n", "B c\n", "A\n", "B_c\n"}, "taxon")),
            (Strings{"taxon 2: \"B c\" cannot stand unquoted in PHYLIP or NEXUS: a blank (PHYLIP "
                     "ends a name at a blank; NEXUS needs quotes)",
                     "taxa 1 and 3: \"A\" is listed twice"}));
}

TEST(NameChecksTest, QuotingFindingsCanBeLeftOutOrGivenAlone) {
  const Strings lines = {"Homo sapiens\n", " Pan\n", "\n", "Homo sapiens"};
  const std::string quoting =
      "\"Homo sapiens\" cannot stand unquoted in PHYLIP or NEXUS: a blank (PHYLIP ends a name "
      "at a blank; NEXUS needs quotes)";
  EXPECT_EQ(All(CheckNames(lines, "line", Quoting::kLeftOut)),
            (Strings{"line 2: \" Pan\" has leading blanks", "line 3: blank line",
                     "lines 1 and 4: \"Homo sapiens\" is listed twice",
                     "line 4: the last line has no line break"}));
  EXPECT_EQ(All(CheckNames(lines, "line", Quoting::kOnly)),
            (Strings{"line 1: " + quoting, "line 4: " + quoting}));
  EXPECT_EQ(CheckNames(lines).count, 6u);
}

// What every front end shows: each finding after the file's name, the first twenty,
// then how many more; with the strict check any finding is an error naming the path.
TEST(NameChecksTest, FindingsAreShownAfterTheFileAndTheStrictCheckRefusesThem) {
  test::TestEnv env;
  const NameFindings many = CheckNames(Strings(kFindingsShown + 2, "\n"));
  std::string shown;
  for (std::size_t i = 1; i <= kFindingsShown; ++i)
    shown += "names.txt: line " + std::to_string(i) + ": blank line\n";
  ShowFindings("names.txt", "/d/names.txt", many, false);
  EXPECT_EQ(env.err, shown + "names.txt: 2 more findings\n");
  env.err.clear();
  EXPECT_EQ(test::ErrorOf([&] { ShowFindings("names.txt", "/d/names.txt", many, true); }),
            "'/d/names.txt' has 22 findings about its names and the strict check allows none; "
            "nothing was written");
  EXPECT_EQ(env.err, shown + "names.txt: 2 more findings\n");  // shown before the refusal

  const NameFindings one_more = CheckNames(Strings(kFindingsShown + 1, "\n"));
  EXPECT_EQ(FindingLines("n\x1b.txt", one_more).back(), "n\\x1b.txt: 1 more finding");
  const NameFindings one = CheckNames({"a\n", "\n"});
  EXPECT_EQ(test::ErrorOf([&] { ShowFindings("a.txt", "a.txt", one, true); }),
            "'a.txt' has 1 finding about its names and the strict check allows none; nothing "
            "was written");
  env.err.clear();
  ShowFindings("b.txt", "b.txt", CheckNames({"b\n"}), true);  // a clean list passes
  EXPECT_EQ(env.err, "");
}

TEST(NameChecksTest, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\x80"));
  EXPECT_FALSE(IsValidUtf8("\xFF"));
}

}  // namespace
}  // namespace dk
