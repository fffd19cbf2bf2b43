#include "alignment/input_format.h"

#include <gtest/gtest.h>

#include <string>

namespace dk {
namespace {

TEST(InputFormatTest, RecognisesEachFormatFromItsStart) {
  EXPECT_EQ(DetectInputFormat(">Alpha\nACGT\n"), InputFormat::kFasta);
  EXPECT_EQ(DetectInputFormat("\xEF\xBB\xBF\n  \r\n>Alpha\n"), InputFormat::kFasta);
  EXPECT_EQ(DetectInputFormat("#NEXUS\nbegin data;"), InputFormat::kNexus);
  EXPECT_EQ(DetectInputFormat("\n#nexus\r\n"), InputFormat::kNexus);
  EXPECT_EQ(DetectInputFormat("16 800\nAlpha ACGT"), InputFormat::kPhylip);
  EXPECT_EQ(DetectInputFormat("  16\t800  \r\nAlpha ACGT"), InputFormat::kPhylip);
  EXPECT_EQ(DetectInputFormat("16 800"), InputFormat::kPhylip);
}

TEST(InputFormatTest, EverythingElseIsANameList) {
  for (const std::string head : {"Alpha\nBeta\n", "", "\n\n", "16 800 I\nAlpha ACGT", "16\nAlpha",
                                 "16 8x0\n", "-3 5\n", "Canis > Ursus\n", "# NEXUS\n"}) {
    EXPECT_EQ(DetectInputFormat(head), InputFormat::kList) << head;
  }
  // UTF-16 text is a list even when it spells an alignment.
  EXPECT_EQ(DetectInputFormat(std::string("\xFF\xFE>\0a\0", 6)), InputFormat::kList);
  EXPECT_EQ(DetectInputFormat(std::string("\xFE\xFF\0>\0a", 6)), InputFormat::kList);
}

TEST(InputFormatTest, NamesReadBackAndMapToDesignNames) {
  for (const char* name : {"list", "fasta", "phylip", "phylip-relaxed", "nexus"}) {
    const auto format = ParseInputFormat(name);
    ASSERT_TRUE(format.has_value()) << name;
    EXPECT_STREQ(InputFormatName(*format), name);
  }
  EXPECT_EQ(ParseInputFormat("phylip"), InputFormat::kPhylipStrict);
  EXPECT_FALSE(ParseInputFormat("FASTA").has_value());
  EXPECT_FALSE(ParseInputFormat("phy").has_value());
  EXPECT_STREQ(DesignFormatName(InputFormat::kPhylipRelaxed), "phylip");
  EXPECT_STREQ(DesignFormatName(InputFormat::kPhylip), "phylip");
  EXPECT_STREQ(DesignFormatName(InputFormat::kList), "list");
  EXPECT_FALSE(IsAlignmentFormat(InputFormat::kList));
  EXPECT_TRUE(IsAlignmentFormat(InputFormat::kNexus));
}

}  // namespace
}  // namespace dk
