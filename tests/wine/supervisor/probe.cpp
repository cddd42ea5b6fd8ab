// A stand-in for the service under korvi-supervisor, for what the test bed's service cannot
// be made to do on demand:
//   lines N CODE   writes N numbered lines on stdout and one on stderr, ends with CODE
//   flood BYTES [FILE]  writes BYTES on stdout in lines of 100, flushing each; then, given FILE,
//                  waits until FILE exists (so that it is still running when the supervisor
//                  rotates its log); ends with 0 only if every write was taken whole (a
//                  blocked pipe would hold it here for ever)
//   hold FILE      writes one line, then ends with 0 once FILE exists
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "lines") == 0) {
    const int count = std::atoi(argv[2]);
    for (int i = 1; i <= count; ++i) std::printf("probe line %d\n", i);
    std::fflush(stdout);
    std::fprintf(stderr, "probe on stderr\n");
    return std::atoi(argv[3]);
  }
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "flood") == 0) {
    const long long bytes = std::atoll(argv[2]);
    std::string line(99, 'f');
    line += '\n';
    bool whole = true;
    for (long long written = 0; written < bytes; written += 100) {
      if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) whole = false;
    }
    std::printf("flood done\n");
    std::fflush(stdout);
    if (argc == 4) {
      while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    }
    return whole ? 0 : 9;
  }
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
    std::printf("holding\n");
    std::fflush(stdout);
    while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    return 0;
  }
  std::fprintf(stderr, "supervisor-probe: usage: lines N CODE | flood BYTES [FILE] | hold FILE\n");
  return 2;
}
