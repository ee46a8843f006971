// Times one sign-in's password derivation (Argon2id through libsodium) for the candidate costs, so
// the cost new key slots get can be chosen on the office's machines: 0.3 to 1 s, at most 256 MiB.
#include <sodium.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

int main()
{
    if (sodium_init() < 0) {
        std::fputs("keyslot_bench: libsodium cannot start\n", stderr);
        return 1;
    }
    struct Cost {
        unsigned long long passes;
        std::size_t mebibytes;
    };
    const Cost costs[] = {{2, 64}, {3, 64}, {2, 128}, {3, 128}, {4, 128}, {2, 256}, {3, 256}};
    const char password[] = "甲乙丙丁戊己";
    unsigned char salt[crypto_pwhash_SALTBYTES];
    randombytes_buf(salt, sizeof salt);
    unsigned char key[32];
    for (const Cost &cost : costs) {
        constexpr int runs = 3;
        double slowest = 0;
        double total = 0;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            if (crypto_pwhash(key, sizeof key, password, std::strlen(password), salt, cost.passes,
                              cost.mebibytes * 1024 * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0) {
                std::fprintf(stderr, "keyslot_bench: out of memory at %zu MiB\n", cost.mebibytes);
                return 1;
            }
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            total += took.count();
            slowest = took.count() > slowest ? took.count() : slowest;
        }
        // The costs come in rising memory, so the process's peak so far is this cost's.
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("argon2id passes %llu, %3zu MiB: mean %.3f s, slowest %.3f s, peak %ld MiB\n", cost.passes,
                    cost.mebibytes, total / runs, slowest, usage.ru_maxrss / 1024);
    }
    sodium_memzero(key, sizeof key);
    return 0;
}
