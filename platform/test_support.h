// The tests' helpers moved to testing/test_support.h (namespace dk::test); this alias
// serves the test files that still use the old place until they move too.
#ifndef DROPKIT_PLATFORM_TEST_SUPPORT_H_
#define DROPKIT_PLATFORM_TEST_SUPPORT_H_

#include "testing/test_support.h"

namespace dk {
namespace testing = test;
}  // namespace dk

#endif  // DROPKIT_PLATFORM_TEST_SUPPORT_H_
