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

namespace fs = std::filesystem;

int Fail(int code, const char* message)
{
    std::fprintf(stderr, "fakemlvdump: %s\n", message);
    return code;
}

// The clip's header: "KORVALIN-FAKE-CLIP 1", then "key value" lines up to "end"; a handful at most.
bool ReadPlan(const std::string& source, std::map<std::string, std::string>& plan)
{
    std::ifstream in(fs::u8path(source), std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "KORVALIN-FAKE-CLIP 1")
        return false;
    for (int count = 0; count < 64 && std::getline(in, line); ++count) {
        if (line == "end")
            return true;
        const std::size_t blank = line.find(' ');
        plan[line.substr(0, blank)] = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::map<std::string, std::string> plan;
    if (argc < 2 || !ReadPlan(argv[argc - 1], plan))
        return Fail(1, "the last argument is not a fake clip");
    const auto number = [&](const char* key, long long otherwise) {
        return plan.count(key) ? std::strtoll(plan[key].c_str(), nullptr, 10) : otherwise;
    };
    // Texts and paths are stored as hex, so any byte survives the line format.
    const auto text = [&](const char* key) {
        std::string bytes;
        for (std::size_t i = 0; i + 1 < plan[key].size(); i += 2)
            bytes.push_back(static_cast<char>(std::stoi(plan[key].substr(i, 2), nullptr, 16)));
        return bytes;
    };

    if (plan.count("record-args")) {
        std::ofstream out(fs::u8path(text("record-args")), std::ios::binary | std::ios::trunc);
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\0';
    }
    if (argc < 5 || std::string(argv[1]) != "-o" || std::string(argv[2]).empty())
        return Fail(2, "usage: fakemlvdump -o PREFIX [options] --dng SOURCE");

    for (long long index = 0; index < number("dng-files", 0); ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "%06lld.dng", index);
        std::ofstream(fs::u8path(argv[2] + std::string(name)), std::ios::binary) << "fake dng " << index << '\n';
    }

    // Reads the source once more from its start (all of it when wanted is negative).
    std::ifstream source(fs::u8path(argv[argc - 1]), std::ios::binary);
    std::vector<char> buffer(64 * 1024);
    for (long long done = 0, wanted = number("read-bytes", -1); source && (wanted < 0 || done < wanted);
         done += source.gcount())
        source.read(buffer.data(), wanted < 0 ? 64 * 1024 : std::min<long long>(64 * 1024, wanted - done));

    // Alternates between the channels, so a reader that drains only one of them stalls the tool.
    const std::string out = text("out"), err = text("err");
    const long long outRepeat = number("out-repeat", 0), errRepeat = number("err-repeat", 0);
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

    // A held tool gives up after two minutes, so a failed test cannot leave it behind for good.
    if (plan.count("hold-until")) {
        const fs::path release = fs::u8path(text("hold-until"));
        for (int waited = 0; !fs::exists(release); waited += 10) {
            if (waited > 120000)
                return Fail(3, "held too long");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (plan.count("crash")) {
#ifdef _WIN32
        std::abort();
#else
        // Killed rather than aborted: the same crash for the parent, and never a core file.
        std::raise(SIGKILL);
#endif
    }
    return static_cast<int>(number("exit-code", 0));
}
