#include "khcli.h"
#include "secure_memory.h"
#include "system_console.h"

int main(int argc, char** argv) {
    kh::cli::protectProcess();
    auto console = kh::cli::makeSystemConsole();
    std::optional<std::vector<std::string>> args = kh::cli::systemArguments(argc, argv);
    if (!args) {
        console->err("khcli: an argument is not valid Unicode text; nothing was done\n");
        return kh::cli::kExitUsage;
    }
    const int code = kh::cli::run(*args, *console);
    // An entry's data may have come as an argument.
    for (std::string& arg : *args)
        kh::secureWipe(arg.data(), arg.capacity());
    return code;
}
