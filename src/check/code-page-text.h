#ifndef ZODERUDO_CHECK_CODE_PAGE_TEXT_H_
#define ZODERUDO_CHECK_CODE_PAGE_TEXT_H_

#include <stddef.h>

#include "os/os.h"

// The code page of the names a listing gives (os.h).
const UINT kNameCodePage = kListedNameCodePage;

// The code pages of the PCs a package is checked for.
const unsigned kMostCodePages = 8;
struct CodePages {
  UINT pages[kMostCodePages];
  unsigned count;
};

// Whether Windows converts text to `code_page` exactly (an ANSI code page
// it knows).
bool KnownCodePage(UINT code_page);

// Whether every byte of `text` is ASCII, the same in every code page.
bool IsAscii(const char* text);

// A name or path of the listing in UTF-16, in a buffer of `size`
// characters; the number of characters, or -1 when it is no text of
// kNameCodePage or does not fit.
int WideForm(const char* text, WCHAR* wide, int size);

// How many bytes the `count` characters of `wide` take in `code_page`;
// `exact` tells whether each has a form of its own there (none is made
// up or stands in for another).
int BytesIn(UINT code_page, const WCHAR* wide, int count, bool* exact);

// A name's key for comparing names as Windows does, letter case aside:
// each UTF-16 character of the listing's name upper-cased by the system's
// own table (ntdll's RtlUpcaseUnicodeChar), which goes beyond A to Z, in
// a buffer of `size` characters with a terminating zero. A name that is
// no text of kNameCodePage keeps its bytes, A to Z upper-cased.
void FoldedName(const char* name, WCHAR* folded, int size);

// Compares two keys of FoldedName.
int CompareFoldedNames(const WCHAR* a, const WCHAR* b);

// How many bytes the character at `text`, a name or path of the listing,
// takes: 2 for a lead byte of the listing's code page with a byte behind
// it, 1 for any other, 0 at the terminating zero. A trail byte 0x5C or
// 0x7C is no backslash or bar.
size_t ListedCharacterLength(const char* text);

#endif  // ZODERUDO_CHECK_CODE_PAGE_TEXT_H_
