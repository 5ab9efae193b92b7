#include <termios.h>
#include <unistd.h>

#include <optional>

#include "Terminal.h"

namespace kmconsole {

struct Terminal::State {
    explicit State(kiv::mesh::SystemMeshBackend& b) : backend(b) {}

    // Standard input is watched by the backend's poll loop and read as it comes.
    void Read()
    {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            backend.UnwatchInput(STDIN_FILENO);
            onEnd();
            return;
        }
        input.append(buffer, static_cast<std::size_t>(n));
        for (auto eol = input.find('\n'); eol != std::string::npos; eol = input.find('\n')) {
            std::string line = input.substr(0, eol);
            input.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            onLine(line);
        }
    }

    kiv::mesh::SystemMeshBackend& backend;
    std::function<void(const std::string&)> onLine;
    std::function<void()> onEnd;
    std::string input;
    std::optional<termios> saved;
};

Terminal::Terminal(kiv::mesh::SystemMeshBackend& backend) : state_(std::make_unique<State>(backend)) {}

Terminal::~Terminal()
{
    EchoOn();
    state_->backend.UnwatchInput(STDIN_FILENO);
}

void Terminal::WatchInput(std::function<void(const std::string& line)> onLine, std::function<void()> onEnd)
{
    state_->onLine = std::move(onLine);
    state_->onEnd = std::move(onEnd);
    state_->backend.WatchInput(STDIN_FILENO, [state = state_.get()] { state->Read(); });
}

void Terminal::EchoOff()
{
    termios t{};
    if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &t) == 0) {
        state_->saved = t;
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &t);
    }
}

void Terminal::EchoOn()
{
    if (state_->saved) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &*state_->saved);
        state_->saved.reset();
    }
}

void Utf8Arguments(int&, char**&) {}

void Utf8Output() {}

}  // namespace kmconsole
