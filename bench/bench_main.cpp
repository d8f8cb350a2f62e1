// Benchmarks with ratios against a peer measured in the same run:
//   cryptBuffer (mode-0 TurboDes2) under each engine vs OpenSSL two-key triple DES, ECB,
//   same bytes; the table engine is what the program used before the bitsliced one;
//   readAccountFile / writeAccountFile of 10,240 entries under the table engine (before)
//   and the engine in use (after), and vs cryptBuffer over the file's bytes;
//   opening a strong account of 10,240 entries, split into the key derivation (at the
//   default cost) and the rest, the rest against the compatible read of the same entries.
#include "account_file.h"
#include "crypto.h"
#include "des_bitslice.h"
#include "strong_format.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 10240;
constexpr std::size_t kAccountBytes = kh::kHeaderSize + kh::kRecordSize * kEntries;

const std::uint8_t kKey[16] = {0x3b, 0x91, 0x07, 0xc4, 0x5d, 0xe2, 0x68, 0xaf,
                               0x12, 0x7e, 0xd9, 0x40, 0xb6, 0x2c, 0x85, 0xf3};

std::vector<std::uint8_t> sampleBytes() {
    std::vector<std::uint8_t> bytes(kAccountBytes);
    std::mt19937 rng(42);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

// Runs a benchmark body with one cipher engine, and restores the automatic choice.
class EngineScope {
  public:
    EngineScope(benchmark::State& state, kh::CipherEngine engine) {
        ok_ = kh::setCipherEngine(engine);
        if (!ok_) state.SkipWithError("this CPU cannot run the engine");
    }
    ~EngineScope() { kh::setCipherEngine(kh::CipherEngine::Auto); }
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

void BM_cryptBuffer(benchmark::State& state, kh::CipherEngine engine) {
    EngineScope scope(state, engine);
    if (!scope.ok()) return;
    std::vector<std::uint8_t> bytes = sampleBytes();
    kh::TurboDes2 cipher;
    cipher.setKey({kKey, 16}, kh::kEncrypt);
    for (auto _ : state) {
        kh::cryptBuffer(&cipher, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * int64_t(bytes.size()));
}

void BM_OpenSSL_DesEde_Ecb(benchmark::State& state) {
    // Triple DES lives in the default provider and single DES in the legacy one; load both
    // so that the peer is found on any OpenSSL 3 set-up.
    static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");
    (void)legacy;
    (void)standard;
    std::vector<std::uint8_t> bytes = sampleBytes();
    // Whole 8-byte blocks, like the 16-byte units on our side.
    const int length = static_cast<int>(bytes.size() - bytes.size() % 16);
    std::vector<std::uint8_t> out(bytes.size() + 16);
    EVP_CIPHER* des = EVP_CIPHER_fetch(nullptr, "DES-EDE-ECB", nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (des == nullptr || ctx == nullptr ||
        !EVP_EncryptInit_ex2(ctx, des, kKey, nullptr, nullptr)) {
        state.SkipWithError("OpenSSL has no DES-EDE-ECB");
        return;
    }
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int written = 0;
        EVP_EncryptUpdate(ctx, out.data(), &written, bytes.data(), length);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * int64_t(bytes.size()));
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(des);
}

struct BenchAccount {
    std::filesystem::path folder;
    std::string path;
    kh::Account account;
    std::vector<kh::AccountEntry> entries;

    BenchAccount() {
        folder = std::filesystem::temp_directory_path() / "kh-bench";
        std::filesystem::create_directories(folder);
        path = (folder / "bench.khk").string();
        account.name = "benchmark";
        account.password = "correct horse battery";
        account.accountDescription = "10,240 entries";
        account.passwordDescription = "bench";
        for (int i = 0; i < kEntries; ++i) {
            kh::AccountEntry& e = entries.emplace_back();
            e.type = 1 + i % 3;
            e.title = "Entry number " + std::to_string(i);
            e.whatsThis = "user" + std::to_string(i) + "@example.org";
            e.data = "pw-" + std::to_string(i * 7919);
            e.description = "https://site" + std::to_string(i) + ".example.org/login";
        }
    }
    ~BenchAccount() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

BenchAccount& benchAccount() {
    static BenchAccount account;
    return account;
}

void BM_writeAccountFile_10240(benchmark::State& state, kh::CipherEngine engine) {
    EngineScope scope(state, engine);
    BenchAccount& a = benchAccount();
    for (auto _ : state) {
        if (kh::writeAccountFile(a.path, a.account, a.entries) != kh::SaveOutcome::Saved) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * int64_t(kAccountBytes));
}

void BM_readAccountFile_10240(benchmark::State& state, kh::CipherEngine engine) {
    EngineScope scope(state, engine);
    BenchAccount& a = benchAccount();
    if (kh::writeAccountFile(a.path, a.account, a.entries) != kh::SaveOutcome::Saved) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        kh::LoadedAccount loaded;
        if (kh::readAccountFile(a.path, a.account.name, a.account.password.view(), loaded) !=
                kh::ReadOutcome::Loaded ||
            loaded.entries.size() != kEntries) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(loaded.entries.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * int64_t(kAccountBytes));
}

// The key derivation of a strong file at the default cost (t=3, m=64 MiB, p=2).
void BM_strongDerivation(benchmark::State& state) {
    const BenchAccount& a = benchAccount();
    std::array<std::uint8_t, kh::kStrongSaltSize> salt{};
    salt.fill(0x5a);
    for (auto _ : state) {
        kh::StrongKey key;
        if (!kh::deriveStrongKey(a.account.name, a.account.password.view(), salt,
                                 kh::StrongParameters{}, key)) {
            state.SkipWithError("derivation failed");
            return;
        }
        benchmark::DoNotOptimize(key.data());
    }
}

// Everything of a strong open but the derivation: the header, the read, the decryption
// with its tag and the parse into entries.
void BM_strongReadRest_10240(benchmark::State& state) {
    BenchAccount& a = benchAccount();
    kh::Account strong = a.account;
    strong.protection = kh::AccountProtection::strongWith();
    const std::string path = (a.folder / "strong.khk").string();
    if (kh::writeAccountFile(path, strong, a.entries) != kh::SaveOutcome::Saved) {
        state.SkipWithError("save failed");
        return;
    }
    kh::StrongKey key;
    {
        kh::SdrFile file;
        kh::StrongHeader header;
        std::int64_t size = 0;
        if (!file.open(path, true) || !kh::readStrongHeader(file, header, size) ||
            !kh::deriveStrongKey(strong.name, strong.password.view(), header.salt,
                                 header.parameters, key)) {
            state.SkipWithError("cannot derive the file's key");
            return;
        }
    }
    for (auto _ : state) {
        kh::SdrFile file;
        kh::StrongHeader header;
        std::int64_t size = 0;
        kh::LoadedAccount loaded;
        if (!file.open(path, true) || !kh::readStrongHeader(file, header, size) ||
            kh::readStrongBody(file, header, size, key, loaded) != kh::ReadOutcome::Loaded ||
            loaded.entries.size() != kEntries) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(loaded.entries.data());
    }
}

// Medians of a few repetitions, so that one noisy round does not decide a ratio. "table"
// is the engine before the bitsliced one, "auto" the engine in use (the widest bitsliced).
using kh::CipherEngine;
BENCHMARK_CAPTURE(BM_cryptBuffer, table, CipherEngine::Table)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_cryptBuffer, bitsliced64, CipherEngine::Bitsliced64)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_cryptBuffer, auto, CipherEngine::Auto) -> Unit(benchmark::kMillisecond)
    -> Repetitions(5);
BENCHMARK(BM_OpenSSL_DesEde_Ecb)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_readAccountFile_10240, table, CipherEngine::Table)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_readAccountFile_10240, auto, CipherEngine::Auto)
    -> Unit(benchmark::kMillisecond) -> Repetitions(5);
BENCHMARK_CAPTURE(BM_writeAccountFile_10240, table, CipherEngine::Table)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_writeAccountFile_10240, auto, CipherEngine::Auto)
    -> Unit(benchmark::kMillisecond) -> Repetitions(5);
BENCHMARK(BM_strongDerivation)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_strongReadRest_10240)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps the time per iteration of every benchmark for the ratios at the end, both the
// process's CPU time and the wall-clock time. The verdicts go by CPU time: on a shared
// 2-core machine another job's load stretches the wall-clock time of whatever happens to be
// running, so wall-clock ratios wander from run to run while the CPU-time ones hold. Both
// are printed; on a quiet machine they agree.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    struct Times {
        double cpu = 0;  // seconds per iteration
        double wall = 0; // seconds per iteration
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Aggregate &&
                run.aggregate_name == "median")
                times_[run.run_name.function_name] = {run.GetAdjustedCPUTime() / 1e3,
                                                      run.GetAdjustedRealTime() / 1e3};
        ConsoleReporter::ReportRuns(runs);
    }

    int printRatios() const {
        auto get = [&](const char* name) {
            const auto it = times_.find(name);
            return it == times_.end() ? Times{} : it->second;
        };
        const Times table = get("BM_cryptBuffer/table");
        const Times portable = get("BM_cryptBuffer/bitsliced64");
        const Times fast = get("BM_cryptBuffer/auto");
        const Times peer = get("BM_OpenSSL_DesEde_Ecb");
        const Times readBefore = get("BM_readAccountFile_10240/table");
        const Times readAfter = get("BM_readAccountFile_10240/auto");
        const Times writeBefore = get("BM_writeAccountFile_10240/table");
        const Times writeAfter = get("BM_writeAccountFile_10240/auto");
        // The strong open on its own, so that a filtered run can show it.
        const Times derivation = get("BM_strongDerivation");
        const Times strongRest = get("BM_strongReadRest_10240");
        if (derivation.cpu > 0 && strongRest.cpu > 0 && readAfter.cpu > 0) {
            std::printf("\nStrong account of %d entries: derivation %.1f ms CPU (t=3, m=65536 KiB, "
                        "p=2) + the rest %.1f ms; compatible read %.1f ms\n",
                        kEntries, derivation.cpu * 1e3, strongRest.cpu * 1e3, readAfter.cpu * 1e3);
            std::printf("  strong open without the derivation / compatible read: %6.2fx  "
                        "(target <= 1.30) %s\n",
                        strongRest.cpu / readAfter.cpu,
                        strongRest.cpu / readAfter.cpu <= 1.3 ? "ok" : "MISSED");
        }
        for (const Times& t :
             {table, portable, fast, peer, readBefore, readAfter, writeBefore, writeAfter}) {
            if (t.cpu <= 0 || t.wall <= 0) {
                std::printf("\nratios: a benchmark did not run\n");
                return 1;
            }
        }
        std::printf("\nRatios (same bytes, same run; engine in use: bitsliced, %s)\n",
                    kh::bitslice::avx2Usable() ? "AVX2, 256 units" : "64-bit, 64 units");
        std::printf("  %-62s %8s %8s\n", "", "CPU", "wall");
        // Ratios of two times: num / den, with a target on the CPU-time ratio (the wall-clock
        // one when byWall) when given.
        auto line = [](const char* what, const Times& num, const Times& den, const char* target,
                       bool (*met)(double), bool byWall = false) {
            const double cpu = num.cpu / den.cpu, wall = num.wall / den.wall;
            std::printf("  %-62s %7.2fx %7.2fx", what, cpu, wall);
            if (target)
                std::printf("  (target %s%s) %s", target, byWall ? ", wall" : "",
                            met(byWall ? wall : cpu) ? "ok" : "MISSED");
            std::printf("\n");
        };
        line("cryptBuffer throughput / OpenSSL DES-EDE-ECB, table engine", peer, table, ">= 0.80",
             [](double r) { return r >= 0.8; });
        line("cryptBuffer throughput / OpenSSL DES-EDE-ECB, bitsliced 64", peer, portable, nullptr,
             nullptr);
        line("cryptBuffer throughput / OpenSSL DES-EDE-ECB, engine in use", peer, fast, ">= 5.00",
             [](double r) { return r >= 5.0; });
        line("readAccountFile, table engine time / engine in use time", readBefore, readAfter,
             ">= 3.00", [](double r) { return r >= 3.0; });
        line("writeAccountFile, table engine time / engine in use time", writeBefore, writeAfter,
             nullptr, nullptr);
        // The file routines against the cipher alone over the same bytes: with the table
        // engine as the yardstick they were written for, and for the engine in use. The
        // write's flush to disk waits without using the CPU, so its target goes by the
        // wall-clock ratio.
        line("readAccountFile time / cryptBuffer time, table engine", readBefore, table, "<= 1.30",
             [](double r) { return r <= 1.3; });
        line(
            "writeAccountFile time / cryptBuffer time, table engine", writeBefore, table, "<= 1.30",
            [](double r) { return r <= 1.3; }, true);
        line("readAccountFile time / cryptBuffer time, engine in use", readAfter, fast, nullptr,
             nullptr);
        line("writeAccountFile time / cryptBuffer time, engine in use", writeAfter, fast, nullptr,
             nullptr);
        return 0;
    }

  private:
    std::map<std::string, Times> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.printRatios();
}
