#include "alignment/taxon_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dk {
namespace {

using Strings = std::vector<std::string>;

TEST(TaxonNamesTest, PlainNamesHaveNoProblems) {
  for (const char* name : {"Alpha", "Homo.sapiens", "Homo_sapiens", "Canis|lupus", "Taxon1", "x",
                           "Ursus!", "\xC3\x89lan"}) {
    EXPECT_EQ(UnquotedNameProblems(name), Strings{}) << name;
    EXPECT_EQ(NexusQuoted(name), name);
  }
}

TEST(TaxonNamesTest, EachProblemSaysWhichFormatMindsAndWhy) {
  EXPECT_EQ(UnquotedNameProblems("Homo sapiens"),
            Strings{"a blank (PHYLIP ends a name at a blank; NEXUS needs quotes)"});
  EXPECT_EQ(UnquotedNameProblems("A(b):c,d"),
            Strings{"the punctuation ( ) : , (NEXUS needs quotes; tree files written from "
                    "PHYLIP break on ( ) [ ] : ; , ')"});
  EXPECT_EQ(UnquotedNameProblems("1234"),
            Strings{"only digits (NEXUS reads an unquoted number as a taxon number)"});
  EXPECT_EQ(UnquotedNameProblems(std::string("a\x01", 2)),
            Strings{"a control character (neither format can hold it)"});
  EXPECT_EQ(UnquotedNameProblems(""), Strings{"it is empty (neither format has an empty name)"});
  EXPECT_EQ(UnquotedNameProblems("Pan's troglodytes_x").size(), 2u);
}

TEST(TaxonNamesTest, QuotesWhatNexusWouldReadOtherwise) {
  EXPECT_EQ(NexusQuoted("Homo sapiens"), "'Homo sapiens'");
  EXPECT_EQ(NexusQuoted("Homo sapiens_x"), "'Homo sapiens_x'");
  EXPECT_EQ(NexusQuoted("Pan's"), "'Pan''s'");
  EXPECT_EQ(NexusQuoted("''"), "''''''");
  EXPECT_EQ(NexusQuoted("a-b"), "'a-b'");
  EXPECT_EQ(NexusQuoted("42"), "'42'");
  EXPECT_EQ(NexusQuoted(""), "''");
  EXPECT_EQ(NexusQuoted("[x]"), "'[x]'");
}

}  // namespace
}  // namespace dk
