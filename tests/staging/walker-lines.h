// The walker's console lines, as the tests expect them on the console.
#ifndef ZODERUDO_TESTS_STAGING_WALKER_LINES_H_
#define ZODERUDO_TESTS_STAGING_WALKER_LINES_H_

namespace walker_lines {

const char kCannotCreateFolder[] =
    "Unable to create temporary sub-directory!\n";
const char kCascade[] =
    "Unable to copy sub-directory update files to the hard drive.\n";
const char kCannotCopyFile[] =
    "Unable to copy files from ZR CD to hard drive.\n";
const char kCannotEmptyFolder[] =
    "Unable to delete files from temporary sub-directory.\n";
const char kCannotRemoveFolder[] =
    "Could not remove temporary sub-directory.\n";

}  // namespace walker_lines

#endif  // ZODERUDO_TESTS_STAGING_WALKER_LINES_H_
