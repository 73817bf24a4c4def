// fileinfo PATH...: prints one line per path, "attributes<TAB>last-write-time" as Windows reports
// them (attributes in hex, the time as 100-ns FILETIME units since 1601, UTC), or "missing".
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(argv[i], GetFileExInfoStandard, &data)) {
      printf("missing\n");
      continue;
    }
    const unsigned long long time =
        (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    printf("%08lx\t%llu\n", data.dwFileAttributes, time);
  }
  return 0;
}
