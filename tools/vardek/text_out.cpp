/* JSON quoting and the error line (see text_out.h). */
#include "text_out.h"

#include <cstdio>

std::string JsonString(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out += '\\', out += char(c);
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else out += char(c);
  }
  return out + "\"";
}

int Fail(const std::string &message) {
  std::fprintf(stderr, "vardek: %s\n", message.c_str());
  return 1;
}
