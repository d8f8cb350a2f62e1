// The parts of a console that are the same everywhere: standard output and error, and
// lines of standard input.
#pragma once

#include "khcli.h"

#include <cstdio>

namespace kh::cli {

class StreamConsole : public Console {
  public:
    void out(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    void err(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    bool readLine(SecretString& line) override { return readLineFrom(stdin, line); }

  protected:
    // Reads up to a line feed (dropped, with a carriage return before it).
    static bool readLineFrom(std::FILE* in, SecretString& line) {
        line.wipe();
        int c;
        bool any = false;
        while ((c = std::fgetc(in)) != EOF) {
            any = true;
            if (c == '\n') break;
            line.push_back(static_cast<char>(c));
        }
        if (!line.empty() && line.view().back() == '\r') line.resize(line.size() - 1);
        return any;
    }
};

} // namespace kh::cli
