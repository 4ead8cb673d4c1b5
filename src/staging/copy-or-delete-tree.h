#ifndef ZODERUDO_STAGING_COPY_OR_DELETE_TREE_H_
#define ZODERUDO_STAGING_COPY_OR_DELETE_TREE_H_

// Size of each path buffer of the walker, the terminating zero included.
const unsigned kTreePathSize = 260;

// The longest folder path that the walk can list, 255 characters: it adds
// \*.* within a buffer of kTreePathSize. A longer one cannot be copied.
const unsigned kLongestWalkedFolder = kTreePathSize - sizeof "\\*.*";

// What the copy gives when it stopped for a Ctrl+C (console-break.h),
// with no message: what was copied stays, for the caller to remove.
const int kCopyStopped = 2;

// One walker, two modes.
//
// Copy mode (`destination` given; it must end with a backslash, and be a
// new folder): makes the tree under `source` again inside `destination`,
// folders first, then their contents; every file is left with no attribute
// but normal. The copy is whole or it fails, naming the entry, when a name
// that a listing gave does not lead to its entry (a name with no exact form
// in the ANSI code page: "Unable to read package sub-directory " or
// "Unable to read package file " and its path) or when two entries are
// listed under one name ("Package holds two files named " and its path).
// In each folder the entries whose names have the shape of an 8.3 alias
// (8.3, with a "~") are copied before the others: a package mastered
// without 8.3 names may hold a long name and a file named as the system's
// alias of it, and each keeps its own bytes.
// A folder whose copy would have a path of kFolderPathLimit characters or
// more (path-limits.h) is not made: "Unable to create temporary
// sub-directory!", as for a folder that cannot be made.
// A Ctrl+C or Ctrl+Break noted stops the copy before its next entry
// (kCopyStopped). The first failure stops the walk: its message,
// then "Unable to copy sub-directory update files to the hard drive." for
// each folder level it lies below `source`, and the result 1. What was
// copied stays, for the caller to remove. A source folder that is `destination` itself, reached under
// another name (a junction or mount point leading to it or to the root
// that holds it), is such a failure: it would be copied into itself, deeper
// and deeper. Its message is "Package directory holds the staging
// directory: " and its full source path; `destination` is recognised by
// its volume serial number and file index, and where those cannot be read
// the copy goes on without this guard.
//
// Delete mode (`destination` null): removes everything under `source`,
// contents before their folder, reporting each removal that fails and going
// on. The result is 1 when anything under `source` could not be removed;
// `source` itself always stays. A link (an entry with the reparse-point
// attribute) is removed as a link, never walked: the walk stays inside
// `source`. Copy mode follows links.
//
// `source` gets a backslash appended in place when it lacks one, so its
// buffer needs room for one more character; whether it ends with one is
// decided by the characters of the ANSI code page. A `source` that is not
// there, or holds nothing (an empty drive root), gives 0 in both modes; one
// that cannot be read, and any sub-folder that cannot be listed, is a
// failure in copy mode (the copy would be incomplete) and is left alone in
// delete mode. A path that would not fit its buffer of kTreePathSize is a
// failure of the entry it names, never cut short.
int CopyOrDeleteTree(char* source, const char* destination);

#endif  // ZODERUDO_STAGING_COPY_OR_DELETE_TREE_H_
