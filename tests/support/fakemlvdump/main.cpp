// Stands in for mlv_dump in tests: the source file it is given says how it behaves.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#endif

namespace {

using Clock = std::chrono::steady_clock;

const char* const kMagic = "KORVALIN-FAKE-CLIP 1";
const std::size_t kChunk = 64 * 1024;
// A held tool gives up after this long, so a failed test cannot leave it behind for good.
const auto kLongestHold = std::chrono::seconds(120);

struct Behaviour
{
    long long runMs = 0;
    long long readBytes = -1;
    long long readMs = 0;
    std::string out;
    long long outRepeat = 0;
    std::string err;
    long long errRepeat = 0;
    int exitCode = 0;
    bool crash = false;
    bool hang = false;
    std::string holdUntil;
    long long dngFiles = 0;
    std::string recordArgs;
};

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "fakemlvdump: %s\n", message.c_str());
    return code;
}

bool FromHex(const std::string& hex, std::string& bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const std::string pair = hex.substr(i, 2);
        char* end = nullptr;
        const long value = std::strtol(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2)
            return false;
        bytes.push_back(static_cast<char>(value));
    }
    return true;
}

bool ToNumber(const std::string& text, long long& number)
{
    char* end = nullptr;
    number = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end == text.c_str() + text.size();
}

bool ReadBehaviour(const std::string& source, Behaviour& behaviour, std::string& problem)
{
    std::ifstream in(std::filesystem::u8path(source), std::ios::binary);
    if (!in) {
        problem = "cannot open " + source;
        return false;
    }
    std::string line;
    if (!std::getline(in, line) || line != kMagic) {
        problem = source + " is not a fake clip";
        return false;
    }
    // A clip says a handful of things; anything longer is a broken file, not a plan.
    for (int count = 0; count < 64 && std::getline(in, line); ++count) {
        if (line == "end")
            return true;
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        long long number = 0;
        bool ok = true;
        if (key == "out")
            ok = FromHex(value, behaviour.out);
        else if (key == "err")
            ok = FromHex(value, behaviour.err);
        else if (key == "hold-until")
            ok = FromHex(value, behaviour.holdUntil);
        else if (key == "record-args")
            ok = FromHex(value, behaviour.recordArgs);
        else if (key == "crash")
            behaviour.crash = true;
        else if (key == "hang")
            behaviour.hang = true;
        else if ((ok = ToNumber(value, number))) {
            if (key == "run-ms")
                behaviour.runMs = number;
            else if (key == "read-bytes")
                behaviour.readBytes = number;
            else if (key == "read-ms")
                behaviour.readMs = number;
            else if (key == "out-repeat")
                behaviour.outRepeat = number;
            else if (key == "err-repeat")
                behaviour.errRepeat = number;
            else if (key == "exit-code")
                behaviour.exitCode = static_cast<int>(number);
            else if (key == "dng-files")
                behaviour.dngFiles = number;
            else
                ok = false;
        }
        if (!ok) {
            problem = "bad clip line: " + line;
            return false;
        }
    }
    problem = source + " has no end of its header";
    return false;
}

void RecordArguments(const std::string& path, int argc, char** argv)
{
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    for (int i = 1; i < argc; ++i) {
        out << argv[i];
        out.put('\0');
    }
}

// Accepts exactly what Korvalin passes: -o PREFIX, known options, one chroma word, --dng, SOURCE.
bool CheckArguments(int argc, char** argv, std::string& prefix, std::string& problem)
{
    if (argc < 5 || std::string(argv[1]) != "-o" || std::string(argv[2]).empty()) {
        problem = "usage: fakemlvdump -o PREFIX [options] --dng SOURCE";
        return false;
    }
    prefix = argv[2];
    static const std::vector<std::string> flags{"-v", "--relaxed", "--dng", "--no-fixcp", "--fixcp2", "--no-stripes"};
    static const std::vector<std::string> chroma{"--no-cs", "--cs2x2", "--cs3x3", "--cs5x5"};
    int chromaWords = 0;
    bool dng = false;
    for (int i = 3; i < argc - 1; ++i) {
        const std::string argument = argv[i];
        if (std::find(chroma.begin(), chroma.end(), argument) != chroma.end()) {
            ++chromaWords;
        } else if (std::find(flags.begin(), flags.end(), argument) != flags.end()) {
            dng = dng || argument == "--dng";
        } else {
            problem = "unknown option " + argument;
            return false;
        }
    }
    if (!dng || chromaWords != 1) {
        problem = "expected --dng and exactly one chroma option";
        return false;
    }
    return true;
}

void WriteDngFiles(const std::string& prefix, long long count)
{
    for (long long index = 0; index < count; ++index) {
        char number[32];
        std::snprintf(number, sizeof number, "%06lld", index);
        const std::string name = prefix + number + ".dng";
        std::ofstream out(std::filesystem::u8path(name), std::ios::binary | std::ios::trunc);
        out << "fake dng " << index << '\n';
        if (!out)
            Fail(0, "cannot write " + name);
    }
}

// Reads the source once more from its start, spreading the reads evenly over the given time.
void ReadSource(const std::string& source, long long wanted, long long overMs)
{
    std::FILE* file = std::fopen(source.c_str(), "rb");
    if (!file) {
        Fail(0, "cannot reopen " + source);
        return;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::fseek(file, 0, SEEK_END);
    const long long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    const long long total = wanted < 0 ? size : std::min(wanted, size);
    std::vector<char> buffer(kChunk);
    const Clock::time_point start = Clock::now();
    long long done = 0;
    while (done < total) {
        const std::size_t part = static_cast<std::size_t>(std::min<long long>(kChunk, total - done));
        const std::size_t got = std::fread(buffer.data(), 1, part, file);
        if (got == 0)
            break;
        done += static_cast<long long>(got);
        if (overMs > 0)
            std::this_thread::sleep_until(start + std::chrono::milliseconds(overMs * done / total));
    }
    std::fclose(file);
}

// A block of whole repetitions of the text, about one chunk long.
std::string Block(const std::string& text, long long& perBlock)
{
    perBlock = std::max<long long>(1, static_cast<long long>(kChunk / std::max<std::size_t>(1, text.size())));
    std::string block;
    block.reserve(static_cast<std::size_t>(perBlock) * text.size());
    for (long long i = 0; i < perBlock; ++i)
        block += text;
    return block;
}

// Alternates between the two channels, so a reader that drains only one of them stalls the tool.
void Print(const Behaviour& behaviour)
{
    long long outPerBlock = 0;
    long long errPerBlock = 0;
    const std::string outBlock = Block(behaviour.out, outPerBlock);
    const std::string errBlock = Block(behaviour.err, errPerBlock);
    long long outLeft = behaviour.out.empty() ? 0 : behaviour.outRepeat;
    long long errLeft = behaviour.err.empty() ? 0 : behaviour.errRepeat;
    while (outLeft > 0 || errLeft > 0) {
        if (outLeft > 0) {
            const long long now = std::min(outLeft, outPerBlock);
            std::fwrite(outBlock.data(), 1, static_cast<std::size_t>(now) * behaviour.out.size(), stdout);
            std::fflush(stdout);
            outLeft -= now;
        }
        if (errLeft > 0) {
            const long long now = std::min(errLeft, errPerBlock);
            std::fwrite(errBlock.data(), 1, static_cast<std::size_t>(now) * behaviour.err.size(), stderr);
            std::fflush(stderr);
            errLeft -= now;
        }
    }
}

void Crash()
{
    std::fflush(stdout);
    std::fflush(stderr);
#ifdef _WIN32
    std::abort();
#else
    // Killed rather than aborted: the same crash for the parent, and never a core file.
    std::raise(SIGKILL);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const Clock::time_point start = Clock::now();
    if (argc < 2)
        return Fail(2, "no source given");
    const std::string source = argv[argc - 1];

    Behaviour behaviour;
    std::string problem;
    if (!ReadBehaviour(source, behaviour, problem))
        return Fail(1, problem);
    if (!behaviour.recordArgs.empty())
        RecordArguments(behaviour.recordArgs, argc, argv);

    std::string prefix;
    if (!CheckArguments(argc, argv, prefix, problem))
        return Fail(2, problem);

    WriteDngFiles(prefix, behaviour.dngFiles);
    ReadSource(source, behaviour.readBytes, behaviour.readMs);
    Print(behaviour);

    if (!behaviour.holdUntil.empty()) {
        const auto path = std::filesystem::u8path(behaviour.holdUntil);
        while (!std::filesystem::exists(path)) {
            if (Clock::now() - start > kLongestHold)
                return Fail(3, "held too long");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(behaviour.runMs));
    while (behaviour.hang)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    if (behaviour.crash)
        Crash();
    return behaviour.exitCode;
}
