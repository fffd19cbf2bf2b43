#include "jackknife/name_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dk {
namespace {

using Strings = std::vector<std::string>;

TEST(NameChecksTest, ACleanListHasNoFindings) {
  EXPECT_EQ(CheckNames({"Alpha\n", "Beta\n", "Gamma.x\n"}), Strings{});
  EXPECT_EQ(CheckNames({}), Strings{});
}

TEST(NameChecksTest, EachKindOfFindingNamesItsLines) {
  const Strings lines = {"Alpha\n",  "\n",      "Beta\n",         "  \t\n",  "Alpha\n", " Gamma\n",
                         "Delta \n", " Eps \n", "Homo sapiens\n", "Alpha\n", "Zeta"};
  EXPECT_EQ(CheckNames(lines),
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

TEST(NameChecksTest, TheLineBreakIsNotPartOfTheName) {
  EXPECT_EQ(CheckNames({"a\n", "a"}), (Strings{"lines 1 and 2: \"a\" is listed twice",
                                               "line 2: the last line has no line break"}));
  // Names differing only in blanks are not the same name; the blanks are reported.
  EXPECT_EQ(CheckNames({"a\n", "a \n"}), Strings{"line 2: \"a \" has trailing blanks"});
}

TEST(NameChecksTest, ReasonsAreGivenTogetherForTheTrimmedName) {
  EXPECT_EQ(
      CheckNames({" Pan's_x \n"}),
      (Strings{"line 1: \" Pan's_x \" has leading and trailing blanks",
               "line 1: \" Pan's_x \" cannot stand unquoted in PHYLIP or NEXUS: the "
               "punctuation ' (NEXUS needs quotes; tree files written from PHYLIP break on ( ) "
               "[ ] : ; , ')"}));
}

TEST(NameChecksTest, ControlCharactersAndBadBytesStayOnOneLine) {
  const Strings findings = CheckNames({std::string("a\x01"
                                                   "b\n"),
                                       "caf\xE9\n"});
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0],
            "line 1: \"a\\x01b\" cannot stand unquoted in PHYLIP or NEXUS: a control character "
            "(neither format can hold it)");
  EXPECT_EQ(findings[1], "line 2: \"caf\\xe9\" is not valid UTF-8");
}

TEST(NameChecksTest, AlignmentsCountTaxa) {
  EXPECT_EQ(CheckNames({"A\n", "B c\n", "A\n", "B_c\n"}, "taxon"),
            (Strings{"taxon 2: \"B c\" cannot stand unquoted in PHYLIP or NEXUS: a blank (PHYLIP "
                     "ends a name at a blank; NEXUS needs quotes)",
                     "taxa 1 and 3: \"A\" is listed twice"}));
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
