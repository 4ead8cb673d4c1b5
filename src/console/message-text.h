#ifndef ZODERUDO_CONSOLE_MESSAGE_TEXT_H_
#define ZODERUDO_CONSOLE_MESSAGE_TEXT_H_

#include <stddef.h>

// Appends `part` to the message in `text`, a buffer of `size` characters
// whose first `*length` hold the message so far, as much as fits with its
// terminating zero. A message cut short still reads as one.
void AppendMessageText(char* text, size_t size, size_t* length,
                       const char* part);

#endif  // ZODERUDO_CONSOLE_MESSAGE_TEXT_H_
