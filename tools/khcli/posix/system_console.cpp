#include "system_console.h"
#include "stream_console.h"

#include <cstdio>
#include <termios.h>

namespace kh::cli {
namespace {

class PosixConsole final : public StreamConsole {
  public:
    bool promptHidden(std::string_view prompt, SecretString& answer) override {
        std::FILE* tty = std::fopen("/dev/tty", "r+");
        if (tty == nullptr) return false;
        const int fd = fileno(tty);
        termios saved{};
        const bool isTerminal = tcgetattr(fd, &saved) == 0;
        if (isTerminal) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            tcsetattr(fd, TCSAFLUSH, &quiet);
        }
        std::fwrite(prompt.data(), 1, prompt.size(), tty);
        std::fflush(tty);
        const bool ok = readLineFrom(tty, answer);
        if (isTerminal) tcsetattr(fd, TCSAFLUSH, &saved);
        std::fclose(tty);
        return ok;
    }
};

} // namespace

std::unique_ptr<Console> makeSystemConsole() {
    return std::make_unique<PosixConsole>();
}

std::vector<std::string> systemArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace kh::cli
