// rassimctl: drives the rasapi32 simulator while a program uses it. It loads the simulator
// from its own folder (WINEDLLOVERRIDES=rasapi32=n under Wine) and works on the same state.
//   rassimctl check | reset | list | log | drop <name> | open <name> [state] | complete <name>
#include <windows.h>

#include <cstdio>
#include <string>

using ControlFn = DWORD(WINAPI*)(LPCSTR command, LPSTR out, DWORD outSize);

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(
            "usage: rassimctl check | reset | list | log | drop <name> | open <name> [state] | complete <name>\n",
            stderr);
        return 2;
    }
    HMODULE module = LoadLibraryA("rasapi32.dll");
    auto control = module ? reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(module, "RasSimControl")))
                          : nullptr;
    if (control == nullptr) {
        std::fputs("rassimctl: the rasapi32.dll loaded is not the simulator\n", stderr);
        return 3;
    }
    std::string command = argv[1];
    for (int i = 2; i < argc; ++i)
        command += std::string(" ") + argv[i];
    static char answer[65536];
    if (command == "log") {
        control("logpath", answer, sizeof answer);
        FILE* f = std::fopen(answer, "rb");
        if (f == nullptr)
            return 0;  // nothing logged yet
        for (std::size_t n; (n = std::fread(answer, 1, sizeof answer, f)) > 0;)
            std::fwrite(answer, 1, n, stdout);
        std::fclose(f);
        return 0;
    }
    const DWORD result = control(command.c_str(), answer, sizeof answer);
    std::fputs(answer, result == 0 ? stdout : stderr);
    std::fputs("\n", result == 0 ? stdout : stderr);
    return static_cast<int>(result);
}
