/* Where a subcommand's bytes go: standard output for "-", otherwise a
 * temporary file beside OUT that is renamed to OUT only when the work
 * succeeded, so a failure never leaves a partial OUT behind. */
#ifndef VARDEK_OUTPUT_FILE_H
#define VARDEK_OUTPUT_FILE_H

#include <cstdio>
#include <string>

struct OutputFile {
  FILE *file = nullptr;
  std::string path;      /* OUT, empty for standard output */
  std::string temporary; /* the file written until Commit */
};

bool OutputOpen(const std::string &out, OutputFile &output, std::string &error);
bool OutputWrite(OutputFile &output, const void *bytes, size_t size);
/* Writes `size` bytes at `offset` of a file output (not standard output). */
bool OutputPatch(OutputFile &output, long offset, const void *bytes, size_t size);
bool OutputIsFile(const OutputFile &output);
/* Flushes and renames the temporary file to OUT. */
bool OutputCommit(OutputFile &output, std::string &error);
/* Closes and removes the temporary file. Safe after Commit. */
void OutputAbandon(OutputFile &output);

#endif
