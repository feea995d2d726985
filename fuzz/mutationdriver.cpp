// A plain mutation driver for compilers without libFuzzer: the same fuzz targets, fed with
// random mutations of seed files, for a given time. Usage:
//   fuzz_NAME [-max_total_time=SECONDS] [-seed=N] SEED_FILE_OR_FOLDER...
// Before each run the input is written to ./fuzz-current-input, so the one that crashed is
// kept. Prints the runs made and the slowest input at the end.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const char *path, const Bytes &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// A few of the mutations libFuzzer makes: flipped bits, bytes set to edge values, runs
// copied, cut or repeated, and the input spliced with another seed.
Bytes mutate(Bytes input, const std::vector<Bytes> &seeds, std::mt19937_64 &random)
{
    auto pick = [&](size_t n) { return n == 0 ? 0 : size_t(random() % n); };
    const int rounds = 1 + int(pick(8));
    for (int r = 0; r < rounds; ++r) {
        if (input.empty())
            input.push_back(0);
        const size_t at = pick(input.size());
        switch (pick(6)) {
        case 0:
            input[at] ^= uint8_t(1u << pick(8));
            break;
        case 1: {
            const uint8_t edges[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
            input[at] = edges[pick(5)];
            break;
        }
        case 2:
            input.erase(input.begin() + long(at), input.begin() + long(std::min(input.size(), at + 1 + pick(64))));
            break;
        case 3: {
            const size_t length = std::min(input.size() - at, 1 + pick(256));
            const Bytes run(input.begin() + long(at), input.begin() + long(at + length));
            input.insert(input.begin() + long(pick(input.size())), run.begin(), run.end());
            break;
        }
        case 4:
            std::memset(input.data() + at, 0xFF, std::min<size_t>(4, input.size() - at));
            break;
        default: {
            const Bytes &other = seeds[pick(seeds.size())];
            input.resize(at);
            input.insert(input.end(), other.begin() + long(pick(other.size())), other.end());
            break;
        }
        }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    double seconds = 60;
    uint64_t seed = std::random_device()();
    std::vector<Bytes> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-max_total_time=", 16) == 0) {
            seconds = std::stod(argv[i] + 16);
        } else if (std::strncmp(argv[i], "-seed=", 6) == 0) {
            seed = std::stoull(argv[i] + 6);
        } else if (std::filesystem::is_directory(argv[i])) {
            for (const auto &entry : std::filesystem::recursive_directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    seeds.push_back(readFile(entry.path()));
        } else {
            seeds.push_back(readFile(argv[i]));
        }
    }
    if (seeds.empty())
        seeds.emplace_back();
    std::mt19937_64 random(seed);
    const auto start = std::chrono::steady_clock::now();
    long runs = 0;
    double slowest = 0;
    Bytes slowestInput;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
        const Bytes input = mutate(seeds[size_t(random() % seeds.size())], seeds, random);
        writeFile("fuzz-current-input", input);
        const auto t0 = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(input.data(), input.size());
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (took > slowest)
            slowest = took, slowestInput = input;
        ++runs;
    }
    writeFile("fuzz-slowest-input", slowestInput);
    std::printf("runs: %ld in %.0f s (seed %llu), no crash; slowest input %.3f s, %zu bytes "
                "(fuzz-slowest-input)\n",
                runs, seconds, static_cast<unsigned long long>(seed), slowest, slowestInput.size());
    return 0;
}
