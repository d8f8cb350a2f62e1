#include "system_console.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kh::cli {
namespace {

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Reads up to a line feed (dropped, with a carriage return before it) one byte at a time,
// straight into `line`: no stream buffer keeps what was read, and nothing after the line
// is taken from the input, which may hold the answer to the next question.
bool readLineFrom(int fd, SecretString& line) {
    line.wipe();
    // Room for a usual line first, so that the text does not grow out of the object's own
    // buffer and leave its first bytes there.
    line.resize(128);
    line.resize(0);
    bool any = false;
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    c = 0;
    if (!line.empty() && line.view().back() == '\r') line.resize(line.size() - 1);
    return any;
}

class PosixConsole final : public Console {
  public:
    explicit PosixConsole(std::string terminal) : terminal_(std::move(terminal)) {}

    void out(std::string_view text) override { writeAll(STDOUT_FILENO, text); }
    void err(std::string_view text) override { writeAll(STDERR_FILENO, text); }
    bool readLine(SecretString& line) override { return readLineFrom(STDIN_FILENO, line); }

    bool promptHidden(std::string_view prompt, SecretString& answer) override {
        const int fd = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        termios saved{};
        const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
        if (isTerminal) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            ::tcsetattr(fd, TCSAFLUSH, &quiet);
        }
        writeAll(fd, prompt);
        const bool ok = readLineFrom(fd, answer);
        if (isTerminal) ::tcsetattr(fd, TCSAFLUSH, &saved);
        ::close(fd);
        return ok;
    }

  private:
    std::string terminal_;
};

} // namespace

std::unique_ptr<Console> makeSystemConsole() {
    return makeSystemConsole("/dev/tty");
}

std::unique_ptr<Console> makeSystemConsole(const std::string& terminal) {
    return std::make_unique<PosixConsole>(terminal);
}

std::optional<std::vector<std::string>> systemArguments(int argc, char** argv) {
    // Taken as they are: whether they are UTF-8 is decided where they are used.
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace kh::cli
