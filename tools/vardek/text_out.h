/* Small text helpers for the subcommands' output: JSON string quoting and
 * the error line every failure prints. */
#ifndef VARDEK_TEXT_OUT_H
#define VARDEK_TEXT_OUT_H

#include <string>

/* `text` as a quoted JSON string. */
std::string JsonString(const std::string &text);

/* Prints "vardek: <message>" on standard error and returns 1 (the exit code). */
int Fail(const std::string &message);

#endif
