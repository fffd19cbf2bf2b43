#include "jackknife/input.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jackknife/provenance.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::WriteFile;
using Strings = std::vector<std::string>;

class InputTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    WriteFile(dir.file(name), bytes);
    return dir.file(name);
  }
  test::TestEnv env;
  test::TempDir dir;
};

TEST_F(InputTest, ListsAreReadLineByLineAsTheGeneratorReadsThem) {
  const std::string bytes = "Alpha\r\n Beta \n\nGamma";
  const TaxonList list = LoadTaxa(Write("names.txt", bytes), std::nullopt);
  EXPECT_EQ(list.format, InputFormat::kList);
  EXPECT_EQ(list.lines, (Strings{"Alpha\n", " Beta \n", "\n", "Gamma"}));
  EXPECT_EQ(list.names, (Strings{"Alpha", " Beta ", "", "Gamma"}));
  EXPECT_EQ(list.size, bytes.size());
  EXPECT_EQ(list.sha256, Sha256Hex(bytes));
  EXPECT_EQ(list.file, dir.file("names.txt"));
  EXPECT_FALSE(list.alignment.has_value());
  const TaxonList utf16 = LoadTaxa(Write("wide.txt", std::string("\xFF\xFE"
                                                                 "a\0\n\0b\0",
                                                                 8)),
                                   std::nullopt);
  EXPECT_EQ(utf16.lines, (Strings{"a\n", "b"}));
}

TEST_F(InputTest, AlignmentsGiveTheirTaxaInOrder) {
  const TaxonList fasta = LoadTaxa(Write("a.fa", ">A\nAC\n>B x\nAG\n"), std::nullopt);
  EXPECT_EQ(fasta.format, InputFormat::kFasta);
  EXPECT_EQ(fasta.names, (Strings{"A", "B"}));
  EXPECT_EQ(fasta.lines, (Strings{"A\n", "B\n"}));
  ASSERT_TRUE(fasta.alignment.has_value());
  EXPECT_EQ(fasta.alignment->characters, 2u);
  const TaxonList phylip = LoadTaxa(Write("a.phy", "2 2\nA AC\nB AG\n"), std::nullopt);
  EXPECT_EQ(phylip.format, InputFormat::kPhylipRelaxed);
  const TaxonList nexus =
      LoadTaxa(Write("a.nex",
                     "#NEXUS\nbegin data; dimensions ntax=2 nchar=2; format datatype=dna;\n"
                     "matrix A AC B AG; end;\n"),
               std::nullopt);
  EXPECT_EQ(nexus.format, InputFormat::kNexus);
  EXPECT_EQ(nexus.names, (Strings{"A", "B"}));
}

TEST_F(InputTest, ANamedFormatOverridesTheContent) {
  const std::string path = Write("a.fa", ">A\nAC\n>B\nAG\n");
  EXPECT_EQ(LoadTaxa(path, InputFormat::kList).names, (Strings{">A", "AC", ">B", "AG"}));
  EXPECT_EQ(ErrorOf([&] { LoadTaxa(path, InputFormat::kNexus); }),
            "Cannot read '" + path + "' as NEXUS: it does not start with #NEXUS");
}

TEST_F(InputTest, FilesThatCannotBeReadAreNamed) {
  EXPECT_EQ(ErrorOf([&] { LoadTaxa(dir.file("none.txt"), std::nullopt); }),
            "Cannot read the input '" + dir.file("none.txt") + "': No such file or directory");
  EXPECT_EQ(ErrorOf([&] { LoadTaxa(dir.path(), std::nullopt); }),
            "Cannot read the input '" + dir.path() + "': it is a folder");
  EXPECT_EQ(ErrorOf([&] { LoadTaxa("/dev/null", std::nullopt); }),
            "Cannot read the input '/dev/null': it is not a regular file");
  EXPECT_EQ(ErrorOf([&] { LoadTaxa("", std::nullopt); }), "The input file name is empty");
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "name" + std::to_string(i) + "\n";
  const std::string path = Write("big.txt", many);
  env.read_limit = 100000;
  EXPECT_EQ(ErrorOf([&] { LoadTaxa(path, std::nullopt); }),
            "Cannot read the input '" + path + "': Input/output error");
}

TEST_F(InputTest, NameFilesSkipBlankLines) {
  EXPECT_EQ(LoadNameFile(Write("keep.txt", "Alpha\r\n\nBeta \nGamma")),
            (Strings{"Alpha", "Beta ", "Gamma"}));
  EXPECT_EQ(ErrorOf([&] { LoadNameFile(dir.file("none.txt")); }),
            "Cannot open file '" + dir.file("none.txt") + "': No such file or directory");
}

}  // namespace
}  // namespace dk
