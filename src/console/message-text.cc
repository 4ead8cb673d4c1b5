#include "console/message-text.h"

#include <string.h>

void AppendMessageText(char* text, size_t size, size_t* length,
                       const char* part) {
  size_t room = size - 1 - *length;
  size_t count = strlen(part);
  if (count > room)
    count = room;
  memcpy(text + *length, part, count);
  *length += count;
  text[*length] = '\0';
}
