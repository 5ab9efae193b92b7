// Another program that holds a file open, for the end-to-end tests of Kiv.INI's saves:
//   holdfile FILE none|read [SECONDS]
// opens FILE for reading, sharing nothing (none) or only reading with others (read), prints
// "held" once it has it, and lets it go after SECONDS (printing "released"), or when it is
// ended. Exit codes: 0 done, 1 usage, 2 the file could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[2], "none") != 0 && std::strcmp(argv[2], "read") != 0)) {
        std::fprintf(stderr, "usage: holdfile FILE none|read [SECONDS]\n");
        return 1;
    }
    const DWORD share = std::strcmp(argv[2], "read") == 0 ? FILE_SHARE_READ : 0;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "holdfile: %s: error %lu\n", argv[1], GetLastError());
        return 2;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(argc > 3 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) * 1000 : INFINITE);
    CloseHandle(file);
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
}
