// Stands in for mlv_dump in tests: the source file it is given says how it behaves.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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

// A held tool gives up after this long, so a failed test cannot leave it behind for good.
const auto kLongestHold = std::chrono::seconds(120);

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "fakemlvdump: %s\n", message.c_str());
    return code;
}

// The clip's header: "KORVALIN-FAKE-CLIP 1", then "key value" lines up to "end".
class Plan
{
public:
    bool Read(const std::string& source)
    {
        std::ifstream in(std::filesystem::u8path(source), std::ios::binary);
        std::string line;
        if (!std::getline(in, line) || line != "KORVALIN-FAKE-CLIP 1")
            return false;
        // A clip says a handful of things; anything longer is a broken file, not a plan.
        for (int count = 0; count < 64 && std::getline(in, line); ++count) {
            if (line == "end")
                return true;
            const std::size_t blank = line.find(' ');
            mValues[line.substr(0, blank)] = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        }
        return false;
    }
    bool Has(const std::string& key) const { return mValues.count(key) != 0; }
    long long Number(const std::string& key, long long otherwise = 0) const
    {
        return Has(key) ? std::strtoll(mValues.at(key).c_str(), nullptr, 10) : otherwise;
    }
    // Texts and paths are stored as hex, so any byte survives the line format.
    std::string Text(const std::string& key) const
    {
        std::string bytes;
        const std::string hex = Has(key) ? mValues.at(key) : std::string();
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
        return bytes;
    }

private:
    std::map<std::string, std::string> mValues;
};

void RecordArguments(const std::string& path, int argc, char** argv)
{
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    for (int i = 1; i < argc; ++i) {
        out << argv[i];
        out.put('\0');
    }
}

void WriteDngFiles(const std::string& prefix, long long count)
{
    for (long long index = 0; index < count; ++index) {
        char number[32];
        std::snprintf(number, sizeof number, "%06lld.dng", index);
        std::ofstream(std::filesystem::u8path(prefix + number), std::ios::binary) << "fake dng " << index << '\n';
    }
}

// Reads the source once more from its start (all of it when wanted is negative).
void ReadSource(const std::string& source, long long wanted)
{
    std::ifstream in(std::filesystem::u8path(source), std::ios::binary);
    std::vector<char> buffer(64 * 1024);
    for (long long done = 0; in && (wanted < 0 || done < wanted); done += in.gcount()) {
        const long long part = wanted < 0 ? static_cast<long long>(buffer.size())
                                          : std::min<long long>(static_cast<long long>(buffer.size()), wanted - done);
        in.read(buffer.data(), part);
    }
}

// Alternates between the two channels, so a reader that drains only one of them stalls the tool.
void Print(const std::string& out, long long outRepeat, const std::string& err, long long errRepeat)
{
    std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    std::setvbuf(stderr, nullptr, _IOFBF, 64 * 1024);
    for (long long i = 0; i < outRepeat || i < errRepeat; ++i) {
        if (i < outRepeat)
            std::fwrite(out.data(), 1, out.size(), stdout);
        if (i < errRepeat)
            std::fwrite(err.data(), 1, err.size(), stderr);
    }
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const Clock::time_point start = Clock::now();
    Plan plan;
    if (argc < 2 || !plan.Read(argv[argc - 1]))
        return Fail(1, "the last argument is not a fake clip");
    if (plan.Has("record-args"))
        RecordArguments(plan.Text("record-args"), argc, argv);
    if (argc < 5 || std::string(argv[1]) != "-o" || std::string(argv[2]).empty())
        return Fail(2, "usage: fakemlvdump -o PREFIX [options] --dng SOURCE");

    WriteDngFiles(argv[2], plan.Number("dng-files"));
    ReadSource(argv[argc - 1], plan.Number("read-bytes", -1));
    Print(plan.Text("out"), plan.Number("out-repeat"), plan.Text("err"), plan.Number("err-repeat"));

    if (plan.Has("hold-until")) {
        const auto path = std::filesystem::u8path(plan.Text("hold-until"));
        while (!std::filesystem::exists(path)) {
            if (Clock::now() - start > kLongestHold)
                return Fail(3, "held too long");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(plan.Number("run-ms")));
    if (plan.Has("crash")) {
#ifdef _WIN32
        std::abort();
#else
        // Killed rather than aborted: the same crash for the parent, and never a core file.
        std::raise(SIGKILL);
#endif
    }
    return static_cast<int>(plan.Number("exit-code"));
}
