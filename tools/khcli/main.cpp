#include "khcli.h"
#include "system_console.h"

int main(int argc, char** argv) {
    auto console = kh::cli::makeSystemConsole();
    return kh::cli::run(kh::cli::systemArguments(argc, argv), *console);
}
