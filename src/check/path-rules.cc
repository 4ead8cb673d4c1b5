#include "check/path-rules.h"

#include <string.h>

#include "staging/copy-or-delete-tree.h"
#include "staging/path-limits.h"
#include "staging/staging-area.h"

namespace {

const char kStagingFolder[] = "C:\\ZRTxxxx.TMP\\";
static_assert(sizeof kStagingFolder - 1 == kLongestStagingFolder,
              "the staging folder as the findings show it");

// The most bytes a full path may have, and why.
struct Limit {
  bool folder;
  bool copy_only;  // a limit of making the copy, not of reading the CD
  unsigned most;
  const char* why;
};

// Per place, the tightest first: only the first one exceeded is named.
const Limit kLimits[] = {
    {false, false, kTreePathSize - 1,
     "the most a file path may have in Windows' narrow calls"},
    {true, true, kFolderPathLimit - 1,
     "the most CreateDirectoryA takes for a folder on Windows"},
    {true, false, kLongestWalkedFolder,
     "the most the copy and the clean-up can list a folder with"},
};

struct Length {
  unsigned bytes;
  UINT code_page;  // where it was counted; 0 for ASCII
};

// The path's length in the code page where it is longest.
Length LengthOf(const char* path, const CodePages& pages) {
  Length length = {static_cast<unsigned>(strlen(path)), 0};
  if (IsAscii(path))
    return length;
  WCHAR wide[kRelativePathSize];
  int count = WideForm(path, wide, kRelativePathSize);
  for (unsigned i = 0; count > 0 && i < pages.count; ++i) {
    bool exact = true;
    unsigned bytes =
        static_cast<unsigned>(BytesIn(pages.pages[i], wide, count, &exact));
    if (length.code_page == 0 || bytes > length.bytes)
      length = {bytes, pages.pages[i]};
  }
  return length;
}

void CheckPlace(Findings* findings, const PackageEntry& entry, Length length,
                const char* place, bool copy, const char* effect) {
  unsigned below = static_cast<unsigned>(strlen(place));
  for (const Limit& limit : kLimits) {
    if (limit.folder != entry.folder || (limit.copy_only && !copy) ||
        below + length.bytes <= limit.most)
      continue;
    FindingText text = {};
    SayNumber(&text, length.bytes);
    Say(&text, " bytes");
    if (length.code_page != 0) {
      Say(&text, " in code page ");
      SayNumber(&text, length.code_page);
    }
    Say(&text, ", ");
    SayNumber(&text, below + length.bytes);
    Say(&text, " below ");
    Say(&text, place);
    Say(&text, ", more than the ");
    SayNumber(&text, limit.most);
    Say(&text, " that are ");
    Say(&text, limit.why);
    Say(&text, ": ");
    Say(&text, effect);
    Say(&text, "; keep it to ");
    SayNumber(&text, limit.most > below ? limit.most - below : 0);
    Say(&text, " bytes");
    AddFinding(findings, entry.path, FindingError, text.text);
    return;
  }
}

}  // namespace

void CheckPath(Findings* findings, const PackageEntry& entry,
               const CodePages& pages, const CdPlace& cd) {
  Length length = LengthOf(entry.path, pages);
  CheckPlace(findings, entry, length, kStagingFolder, true,
             "the staged copy fails");
  CheckPlace(findings, entry, length, cd.folder, false,
             cd.cd ? "a run cannot read it from the CD"
                   : "a run cannot read it from the share");
  unsigned level = cd.level + entry.depth;
  if (cd.cd && entry.folder && level > kDeepestCdLevel) {
    FindingText text = {};
    Say(&text, "a folder at level ");
    SayNumber(&text, level);
    Say(&text, " of the CD, deeper than the ");
    SayNumber(&text, kDeepestCdLevel);
    Say(&text, " levels of ISO 9660: a CD made to that standard cannot "
               "hold it; flatten the package");
    AddFinding(findings, entry.path, FindingWarning, text.text);
  }
}
