// Splitting a Windows command line into the words a C runtime would give
// the program as argv.
#ifndef ZODERUDO_OS_POSIX_COMMAND_LINE_POSIX_H_
#define ZODERUDO_OS_POSIX_COMMAND_LINE_POSIX_H_

#include <string>
#include <vector>

namespace os_posix {

// Words are separated by blanks and tabs; double quotes group and are
// removed. Before a quote, 2n backslashes give n and the quote groups;
// 2n+1 give n and a literal quote; other backslashes are literal. The
// program name (first word) only knows quotes: no escapes. Leading blanks
// are skipped; an empty or blank line gives no words.
std::vector<std::string> SplitCommandLine(const char* line);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_COMMAND_LINE_POSIX_H_
