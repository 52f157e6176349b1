// Stands in for mlv_dump in tests: the source file it is given says how it behaves.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// The clip's header: "KORVALIN-FAKE-CLIP 1", then "key value" lines up to "end"; a handful at most.
static bool ReadPlan(const char* source, std::map<std::string, std::string>& plan)
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

int main(int argc, char** argv)
{
    std::map<std::string, std::string> plan;
    if (argc < 2 || !ReadPlan(argv[argc - 1], plan)) {
        std::fputs("fakemlvdump: the last argument is not a fake clip\n", stderr);
        return 1;
    }
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

    // Reads the whole source once more, as the real tool does, for the I/O counters to see.
    std::ifstream source(fs::u8path(argv[argc - 1]), std::ios::binary);
    std::vector<char> buffer(64 * 1024);
    while (source.read(buffer.data(), std::streamsize(buffer.size()))) {}

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
    std::fflush(nullptr);

    // A held tool gives up after two minutes, so a failed test cannot leave it behind for good.
    for (int waited = 0; plan.count("hold-until") && !fs::exists(fs::u8path(text("hold-until"))); waited += 10) {
        if (waited > 120000)
            return 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Killed rather than aborted: the same crash for the parent, and never a core file.
    if (plan.count("crash"))
        std::raise(SIGKILL);
    return static_cast<int>(number("exit-code", 0));
}
