// Counts the bytes that the program asks of the global operator new, so a test can show
// that an operation does not copy data it should leave in place. Linked into the test
// binary only: it replaces the global operator new and delete there.
//
// Threading: counts from every thread; meant for single-threaded tests.
#ifndef DROPKIT_TESTING_ALLOCATION_COUNT_H_
#define DROPKIT_TESTING_ALLOCATION_COUNT_H_

#include <cstddef>

namespace dk::test {

// Counts, for the life of the object, the bytes allocated through operator new.
class AllocationCount {
 public:
  AllocationCount();
  ~AllocationCount() = default;
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  // Bytes allocated since construction.
  std::size_t bytes() const;

 private:
  std::size_t start_;
};

}  // namespace dk::test

#endif  // DROPKIT_TESTING_ALLOCATION_COUNT_H_
