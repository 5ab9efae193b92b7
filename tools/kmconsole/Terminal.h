// The console's terminal, one implementation per platform: the lines typed on standard input,
// handed over between the backend's rounds on the console's thread; the echo, off while a
// password is typed; the command line and standard output in UTF-8.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "SystemMeshBackend.h"

namespace kmconsole {

class Terminal {
public:
    explicit Terminal(kiv::mesh::SystemMeshBackend& backend);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // From now on each line typed goes to onLine (without its line end), and the end of the
    // input to onEnd.
    void WatchInput(std::function<void(const std::string& line)> onLine, std::function<void()> onEnd);
    void EchoOff();
    void EchoOn();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The program's arguments as UTF-8, whatever the system's code page is; argv keeps pointing
// into the strings kept here.
void Utf8Arguments(int& argc, char**& argv);
// Standard output takes UTF-8 with one LF per line.
void Utf8Output();

}  // namespace kmconsole
