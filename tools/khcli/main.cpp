#include "khcli.h"
#include "secure_memory.h"
#include "system_console.h"

int main(int argc, char** argv) {
    kh::cli::protectProcess();
    auto console = kh::cli::makeSystemConsole();
    std::vector<std::string> args = kh::cli::systemArguments(argc, argv);
    const int code = kh::cli::run(args, *console);
    // An entry's data may have come as an argument.
    for (std::string& arg : args)
        kh::secureWipe(arg.data(), arg.capacity());
    return code;
}
