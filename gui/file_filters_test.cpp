#include "gui/file_filters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_support.h"

namespace dk::internal {
namespace {

using test::ErrorOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const FileFilter kAll{"All files", "*"};

Value Choices(std::vector<std::pair<const char*, const char*>> rows) {
  Value cell = Value::Cell(rows.size(), 2);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    cell.mutable_cell(r) = Value::Text(rows[r].first);
    cell.mutable_cell(rows.size() + r) = Value::Text(rows[r].second);
  }
  return cell;
}

TEST(FileFilters, ATextIsOneChoiceNamedByItsExtensionThenAllFiles) {
  EXPECT_THAT(FileFilters(Value::Text("*.txt")),
              ElementsAre(FileFilter{"Text files", "*.txt"}, kAll));
  EXPECT_THAT(FileFilters(Value::Text("*.fasta")),
              ElementsAre(FileFilter{"FASTA files", "*.fasta"}, kAll));
  EXPECT_THAT(FileFilters(Value::Text(" *.a ; *.b;")),
              ElementsAre(FileFilter{"Files", "*.a;*.b"}, kAll));
  EXPECT_THAT(FileFilters(Value::Text("names.txt")),
              ElementsAre(FileFilter{"Files", "names.txt"}, kAll));
}

TEST(FileFilters, NoFilterOrOneForEverythingGivesAllFilesOnce) {
  EXPECT_THAT(FileFilters(Value()), ElementsAre(kAll));
  EXPECT_THAT(FileFilters(Value::Empty()), ElementsAre(kAll));
  EXPECT_THAT(FileFilters(Value::Text("*")), ElementsAre(kAll));
  EXPECT_THAT(FileFilters(Value::Text("*.*; *")), ElementsAre(kAll));
}

TEST(FileFilters, ACellGivesNamedChoicesInOrder) {
  const Value cell = Choices({{"*.fasta;*.fa", "FASTA files"},
                              {"*.phy", "PHYLIP files"},
                              {"*", "Anything"},
                              {"*.nex", ""}});
  EXPECT_THAT(FileFilters(cell), ElementsAre(FileFilter{"FASTA files", "*.fasta;*.fa"},
                                             FileFilter{"PHYLIP files", "*.phy"},
                                             FileFilter{"NEX files", "*.nex"}, kAll));
}

TEST(FileFilters, OtherValuesAreRefused) {
  EXPECT_THAT(ErrorOf([] { FileFilters(Value::Scalar(3)); }),
              HasSubstr("must be a text such as \"*.txt\""));
  EXPECT_THAT(ErrorOf([] { FileFilters(Value::Cell(1, 3)); }), HasSubstr("a cell of patterns"));
  Value numbers = Value::Cell(1, 2);
  numbers.mutable_cell(0) = Value::Scalar(1);
  numbers.mutable_cell(1) = Value::Text("x");
  EXPECT_THAT(ErrorOf([&] { FileFilters(numbers); }), HasSubstr("a cell of patterns"));
  EXPECT_THAT(ErrorOf([] {
                FileFilters(Choices({{" ; ", "Nothing"}}));
              }),
              HasSubstr("at least one pattern"));
}

}  // namespace
}  // namespace dk::internal
