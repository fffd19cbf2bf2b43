#include "runtime/text_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf8.h"
#include "runtime/ops.h"

namespace dk {
namespace {

// A text of every storage the run-time has: ASCII, units below 256, 16-bit units with
// a surrogate pair and an escape unit, and the empty text.
std::vector<Value> MixedTexts() {
  return {Value::Text("Alpha\n"),
          Value::NarrowText(std::string("B\xE9ta\n", 5)),
          Value::Text(u"\u4E2D\u6587 %s\n"),
          Value::Text(std::string_view("odd \xFF byte\n")),
          Value::EmptyText(),
          Value::Text(u"\U0001F600 x"),
          Value::Text("Z")};
}

// The same class, shape, storage and units.
void ExpectSameText(const Value& got, const Value& want) {
  ASSERT_TRUE(got.is_char());
  EXPECT_EQ(got.rows(), want.rows());
  EXPECT_EQ(got.cols(), want.cols());
  EXPECT_EQ(got.units(), want.units());
  EXPECT_EQ(got.narrow(), want.narrow());
  EXPECT_EQ(got.ascii(), want.ascii());
}

TEST(TextList, GivesBackEveryTextUnitForUnit) {
  TextList list;
  const std::vector<Value> texts = MixedTexts();
  for (const Value& t : texts) list.Append(t);
  ASSERT_EQ(list.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSameText(list.Get(i), texts[i]);
  }
}

TEST(TextList, ViewsMatchTheTextsWithoutCopies) {
  TextList list;
  list.Append(Value::Text("a"));  // odd length: the wide text after it needs a pad byte
  list.Append(Value::Text(u"\u0100\u0101"));
  list.Append(Value::NarrowText("\xE9"));
  const TextView ascii = list.View(0);
  EXPECT_EQ(ascii.kind, TextView::Kind::kAscii);
  EXPECT_EQ(ascii.bytes(), "a");
  const TextView wide = list.View(1);
  EXPECT_EQ(wide.kind, TextView::Kind::kWide);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide.data) % alignof(char16_t), 0u);
  EXPECT_EQ(wide.wide(), u"\u0100\u0101");
  const TextView narrow = list.View(2);
  EXPECT_EQ(narrow.kind, TextView::Kind::kNarrow);
  EXPECT_EQ(narrow.bytes(), "\xE9");
}

TEST(TextList, CopiesAreIndependentAndLongListsGrow) {
  TextList list;
  for (int i = 0; i < 100000; ++i) list.Append(Value::Text("name_" + std::to_string(i) + "\n"));
  TextList copy = list;
  copy.Append(Value::Text("last"));
  EXPECT_EQ(list.size(), 100000u);
  EXPECT_EQ(copy.size(), 100001u);
  EXPECT_EQ(list.Get(99999).utf8(), "name_99999\n");
  EXPECT_EQ(copy.Get(12345).utf8(), "name_12345\n");
  EXPECT_EQ(copy.Get(100000).utf8(), "last");
  // Prefetching is a hint: any index, in or out of range, changes nothing.
  for (std::size_t i = 0; i < 40; ++i) list.Prefetch(i * 5000);
  list.Prefetch(1u << 30);
  EXPECT_EQ(list.Get(0).utf8(), "name_0\n");
}

TEST(TextList, HoldsOnlyOneRowTextsAndTheEmptyText) {
  EXPECT_TRUE(TextList::Holds(Value::Text("x")));
  EXPECT_TRUE(TextList::Holds(Value::EmptyText()));
  EXPECT_FALSE(TextList::Holds(Value::Scalar(1)));
  EXPECT_FALSE(TextList::Holds(Value::CharMatrix(2, 1, u"ab")));
  EXPECT_FALSE(TextList::Holds(Value::CharMatrix(1, 0, u"")));
  EXPECT_FALSE(TextList::Holds(Value::Cell(0, 0)));
}

// Cells of texts are kept compactly by the run-time; callers see a cell of texts.

Value CompactCell(const std::vector<Value>& texts) {
  Value cell = Value::Cell(0, 0);
  for (const Value& t : texts) cell.cell_append(t);
  return cell;
}

// The same cell built from separate values: a cell made at its full size.
Value SeparateCell(const std::vector<Value>& texts) {
  Value cell = Value::Cell(1, texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) cell.mutable_cell(i) = texts[i];
  return cell;
}

TEST(CompactCell, ReadsAsTheSameCellAsSeparateValues) {
  const std::vector<Value> texts = MixedTexts();
  const Value compact = CompactCell(texts);
  const Value separate = SeparateCell(texts);
  EXPECT_TRUE(compact.is_cell());
  EXPECT_EQ(compact.rows(), 1u);
  EXPECT_EQ(compact.numel(), texts.size());
  EXPECT_TRUE(mlfIsequal(compact, separate));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSameText(compact.cell(i), separate.cell(i));
    TextView a, b;
    ASSERT_TRUE(compact.cell_text(i, &a));
    ASSERT_TRUE(separate.cell_text(i, &b));
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(std::string(a.data, a.size * (a.kind == TextView::Kind::kWide ? 2 : 1)),
              std::string(b.data, b.size * (b.kind == TextView::Kind::kWide ? 2 : 1)));
    EXPECT_TRUE(mlfIsequal(mlfIndexRef(compact, "{?}", Value::Scalar(double(i + 1))), texts[i]));
  }
}

TEST(CompactCell, OtherElementsTurnItIntoSeparateValuesKeepingTheTexts) {
  const std::vector<Value> texts = MixedTexts();
  Value cell = CompactCell(texts);
  cell.cell_append(Value::Scalar(7));
  ASSERT_EQ(cell.numel(), texts.size() + 1);
  EXPECT_EQ(cell.cell(texts.size()).num(0), 7);
  for (std::size_t i = 0; i < texts.size(); ++i) ExpectSameText(cell.cell(i), texts[i]);

  Value grown = CompactCell(texts);
  grown.cell_resize(texts.size() + 2);  // new slots hold empty matrices
  EXPECT_TRUE(grown.cell(texts.size() + 1).is_numeric());
  EXPECT_EQ(grown.cell(0).utf8(), "Alpha\n");

  Value changed = CompactCell(texts);
  changed.mutable_cell(2) = Value::Text("two");
  EXPECT_EQ(changed.cell(2).utf8(), "two");
  EXPECT_EQ(changed.cell(3).utf8(), "odd \xFF byte\n");
  TextView view;
  changed.mutable_cell(1) = Value::Scalar(1);
  EXPECT_FALSE(changed.cell_text(1, &view));
}

TEST(CompactCell, ChangingACopyLeavesTheOriginal) {
  const Value original = CompactCell({Value::Text("a"), Value::Text("b")});
  Value copy = original;
  copy.cell_append(Value::Text("c"));
  copy.set_cell(0, Value::Text("A"));
  EXPECT_EQ(original.numel(), 2u);
  EXPECT_EQ(original.cell(0).utf8(), "a");
  EXPECT_EQ(copy.numel(), 3u);
  EXPECT_EQ(copy.cell(0).utf8(), "A");
  EXPECT_EQ(copy.cell(1).utf8(), "b");
  EXPECT_EQ(copy.cell(2).utf8(), "c");
}

// A list read anew over the old one replaces its elements in order from the first and
// keeps the old ones past the new list's end, as the loop `list{count} = line` does.
TEST(CompactCell, ReplacedInOrderOverAnOldListKeepsItsRest) {
  const Value old_list = CompactCell({Value::Text("o1"), Value::Text("o2"), Value::Text("o3")});
  Value list = old_list;
  mlfIndexAssign(&list, "{?}", Value::Scalar(1), Value::Text("n1"));
  mlfIndexAssign(&list, "{?}", Value::Scalar(2), Value::Text(u"n\u4E8C"));
  ASSERT_EQ(list.numel(), 3u);
  EXPECT_EQ(list.cell(0).utf8(), "n1");
  EXPECT_EQ(list.cell(1).units(), u"n\u4E8C");
  EXPECT_EQ(list.cell(2).utf8(), "o3");
  EXPECT_EQ(old_list.cell(0).utf8(), "o1");
  // Going past the old list's end, and copies made halfway, stay whole.
  const Value halfway = list;
  mlfIndexAssign(&list, "{?}", Value::Scalar(3), Value::Text("n3"));
  mlfIndexAssign(&list, "{?}", Value::Scalar(4), Value::Text("n4"));
  EXPECT_EQ(list.numel(), 4u);
  EXPECT_EQ(list.cell(2).utf8(), "n3");
  EXPECT_EQ(list.cell(3).utf8(), "n4");
  EXPECT_EQ(halfway.cell(2).utf8(), "o3");
  // An append to a cell that still shares its rest takes the rest along.
  Value appended = halfway;
  appended.cell_append(Value::Text("n4"));
  EXPECT_EQ(appended.numel(), 4u);
  EXPECT_EQ(appended.cell(2).utf8(), "o3");
  EXPECT_EQ(appended.cell(3).utf8(), "n4");
  // A replacement out of order turns the cell into separate values.
  Value jumbled = old_list;
  mlfIndexAssign(&jumbled, "{?}", Value::Scalar(2), Value::Text("x"));
  EXPECT_EQ(jumbled.cell(0).utf8(), "o1");
  EXPECT_EQ(jumbled.cell(1).utf8(), "x");
}

TEST(CompactCell, PrefetchingChangesNothing) {
  const Value cell = CompactCell(MixedTexts());
  for (std::size_t i = 0; i < cell.numel(); ++i) cell.prefetch_cell(i);
  EXPECT_EQ(cell.cell(0).utf8(), "Alpha\n");
  const Value separate = SeparateCell(MixedTexts());
  separate.prefetch_cell(0);
  EXPECT_EQ(separate.cell(0).utf8(), "Alpha\n");
}

}  // namespace
}  // namespace dk
