#pragma once
// Path styles for the file-operation tests. The Chinese texts of a test are string literals, compiled to
// UTF-8 on Linux and to GBK on Windows; Windows-style cases with such literals take the lead bytes of the
// code page they were compiled in, cases written with explicit GBK bytes ("\x95\\") take the GBK table.
#include <string_view>

#include "platform/path_style.h"

namespace kestrin::fileops_test {

inline const PathStyle kWinGbk = PathStyle::Windows(&GbkLeadBytes());
inline const PathStyle kWin = std::string_view("动态资源").size() == 8 ? kWinGbk : PathStyle::Windows();
inline const PathStyle kPosix = PathStyle::Posix();

}  // namespace kestrin::fileops_test
