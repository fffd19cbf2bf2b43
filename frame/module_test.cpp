#include "frame/module.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace dk {
namespace {

// What a module reports while its constants are built and released.
class ModuleEvents {
 public:
  ModuleEvents()
      : previous_(SetModuleObserver([this](const std::string& module, long index, bool built) {
          events.emplace_back(module + (built ? " built " : " released ") + std::to_string(index));
        })) {}
  ~ModuleEvents() { SetModuleObserver(previous_); }
  std::vector<std::string> events;

 private:
  ModuleObserver previous_;
};

TEST(ModuleConstants, BuildsInOrderAndReleasesInTheReverseOrder) {
  ModuleEvents watch;
  ModuleConstants c("probe");
  Value text, number, empty, vector, cell;
  c.String(&text, "reuse");
  c.Double(&number, 31);
  c.CharVector(&empty);
  c.DoubleVector(&vector, 1, 2, {1, 2});
  c.CellVector(&cell, 1, 2, {&text, &number});  // of constants made before it
  EXPECT_EQ(c.count(), 5u);
  EXPECT_EQ(text.utf8(), "reuse");
  EXPECT_EQ(number.num(0), 31);
  EXPECT_TRUE(empty.is_char() && empty.empty());
  EXPECT_EQ(vector.num(1), 2);
  EXPECT_TRUE(cell.cell(0).same_array(text));  // shared, not copied
  c.ReleaseAll();
  EXPECT_EQ(watch.events, (std::vector<std::string>{
                              "probe built 0", "probe built 1", "probe built 2", "probe built 3",
                              "probe built 4", "probe released 4", "probe released 3",
                              "probe released 2", "probe released 1", "probe released 0"}));
  EXPECT_TRUE(text.absent());
  EXPECT_TRUE(cell.absent());
  EXPECT_EQ(c.count(), 0u);
  // Set up again after a release, as a program started twice in one process does.
  c.String(&text, "again");
  EXPECT_EQ(c.count(), 1u);
  c.ReleaseAll();
}

TEST(ModuleConstants, PersistentVariablesStartUnassignedAndAreReleased) {
  Value slot = Value::Scalar(3);
  mclInitializePersistent(&slot);
  EXPECT_TRUE(slot.unassigned());
  slot = Value::Scalar(4);
  mxDestroyArray(&slot);
  EXPECT_TRUE(slot.absent());
}

}  // namespace
}  // namespace dk
