// What the window tests share: readable QStrings in failure messages.
#ifndef DROPKIT_TESTING_QT_TEST_SUPPORT_H_
#define DROPKIT_TESTING_QT_TEST_SUPPORT_H_

#include <QString>

#include <ostream>
#include <string>

// Texts in failure messages as text.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace dk::test {

inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace dk::test

#endif  // DROPKIT_TESTING_QT_TEST_SUPPORT_H_
