/* Output of the subcommands (see output_file.h): a temporary file made with
 * mkstemp in OUT's directory and renamed over OUT at the end, or stdout. */
#include "output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

bool OutputOpen(const std::string &out, OutputFile &o, std::string &error) {
  if (out == "-") {
    o.file = stdout;
    return true;
  }
  std::vector<char> name(out.begin(), out.end());
  const char suffix[] = ".partial-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);
  int fd = mkstemp(name.data());
  if (fd < 0) return error = "cannot write " + out + ": " + std::strerror(errno), false;
  o.file = fdopen(fd, "wb");
  o.path = out;
  o.temporary = name.data();
  if (!o.file) {
    close(fd);
    unlink(o.temporary.c_str());
    return error = "cannot write " + out + ": " + std::strerror(errno), false;
  }
  return true;
}

bool OutputWrite(OutputFile &o, const void *bytes, size_t size) {
  return size == 0 || fwrite(bytes, 1, size, o.file) == size;
}

bool OutputIsFile(const OutputFile &o) { return !o.temporary.empty(); }

bool OutputPatch(OutputFile &o, long offset, const void *bytes, size_t size) {
  if (!OutputIsFile(o)) return false;
  long end = ftell(o.file);
  bool ok = fseek(o.file, offset, SEEK_SET) == 0 && OutputWrite(o, bytes, size);
  return fseek(o.file, end, SEEK_SET) == 0 && ok;
}

bool OutputCommit(OutputFile &o, std::string &error) {
  if (!OutputIsFile(o)) {
    if (fflush(o.file) != 0) return error = "cannot write standard output", false;
    return true;
  }
  bool ok = fflush(o.file) == 0;
  ok = fclose(o.file) == 0 && ok;
  o.file = nullptr;
  if (ok && rename(o.temporary.c_str(), o.path.c_str()) == 0) {
    o.temporary.clear();
    return true;
  }
  error = "cannot write " + o.path + ": " + std::strerror(errno);
  OutputAbandon(o);
  return false;
}

void OutputAbandon(OutputFile &o) {
  if (o.file && o.file != stdout) fclose(o.file);
  o.file = nullptr;
  if (!o.temporary.empty()) unlink(o.temporary.c_str());
  o.temporary.clear();
}
