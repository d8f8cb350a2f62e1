#include "file_system.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace kh {

std::string folderOf(const std::string& path, const char* separators) {
    const auto slash = path.find_last_of(separators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string tempNameIn(const std::string& folder, unsigned long long processId) {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    unsigned long long mix = static_cast<unsigned long long>(now) * 0x9E3779B97F4A7C15ull;
    mix ^= (processId << 20) ^ (static_cast<unsigned long long>(counter.fetch_add(1)) << 40);
    mix ^= mix >> 29;
    char text[9];
    (void)std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(mix & 0xffffffffu));
    return folder + "~kh" + text + ".tmp";
}

} // namespace kh
