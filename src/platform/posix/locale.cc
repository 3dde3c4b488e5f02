// CompareStringA over the measured collation of English (United States), the
// locale the Windows build is tested in under Wine; every locale gets it.
#include <cstring>
#include <string_view>

#include "platform/collation.h"
#include "platform/win32.h"

int CompareStringA(LCID, DWORD flags, LPCSTR a, int a_length, LPCSTR b, int b_length) {
  if (flags != NORM_IGNORECASE) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (a == nullptr || b == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A negative length reads up to the NUL; a given one may hold NULs, which
  // weigh nothing.
  const std::string_view x(a, a_length < 0 ? std::strlen(a) : static_cast<size_t>(a_length));
  const std::string_view y(b, b_length < 0 ? std::strlen(b) : static_cast<size_t>(b_length));
  const int order = collation::compare_ignoring_case(x, y);
  return order < 0 ? CSTR_LESS_THAN : (order > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL);
}
