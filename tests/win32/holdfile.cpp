// Another program that holds a file open, for the end-to-end tests of Kiv.INI's saves:
//   holdfile FILE none|read RELEASE
// opens FILE for reading, sharing nothing (none) or only reading with others (read), prints
// "held" once it has it, and lets it go once the file RELEASE exists (printing "released"), or
// when it is ended. The test says when, and knows when it is done, without a clock; a file says
// it because every program the test starts later would inherit a pipe's end.
// Exit codes: 0 done, 1 usage, 2 the file could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[2], "none") != 0 && std::strcmp(argv[2], "read") != 0)) {
        std::fprintf(stderr, "usage: holdfile FILE none|read RELEASE\n");
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
    while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES)
        Sleep(50);
    CloseHandle(file);
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
}
