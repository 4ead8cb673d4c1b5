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

#endif  // ZODERUDO_CHECK_CODE_PAGE_TEXT_H_
