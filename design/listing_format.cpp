#include "design/listing_format.h"

#include <charconv>

#include "base/errors.h"

namespace dk::listing {

void Append(std::string& out, std::string_view format, std::initializer_list<Arg> args) {
  const Arg* next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '\\' && i + 1 < format.size() && format[i + 1] == 'n') {
      out.push_back('\n');
      ++i;
    } else if (c == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      out.push_back('%');
      ++i;
    } else if (c == '%' && i + 1 < format.size() &&
               (format[i + 1] == 'i' || format[i + 1] == 's')) {
      if (next == args.end()) Raise("A listing format has more conversions than values");
      if (format[i + 1] == 'i') {
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, next->number);
        out.append(digits, r.ptr);
      } else {
        out += next->text;
      }
      ++next;
      ++i;
    } else if (c == '%') {
      Raise("A listing format holds a conversion other than %i and %s");
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace dk::listing
