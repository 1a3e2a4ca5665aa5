// Timings of the protected value store on files of the size the course uses.
//
//   answer step: a test file of 1,000 questions; one answer of a test run makes eight store reads
//   (the right answer of question n, the question count, the question and the five answers of
//   question n + 1), each opening and parsing the file anew. Compared with the least any such read
//   can cost: open, read, close and a memchr scan for the section header.
//
//   user write: one enciphered value written into a user list of 10,000 records, flushed to disk.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "store/fsys.h"
#include "store/store.h"

using namespace ortavia;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A storable plain text: code page letters and blanks, never a byte that enciphers to NUL/CR/LF.
std::string plainText(std::mt19937& rng, size_t n) {
    static const std::string letters =
        "abcdefghij klmnopqrstuvwxyz ABCDEFGHIJ \xC0\xC1\xC2\xC3\xE0\xE1\xE2\xE3 ,.";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += letters[rng() % letters.size()];
    return s;
}

void writeFile(const std::string& path, const std::string& content) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != ssize_t(content.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

// The baseline read: the whole file with one read() into a reused buffer, then the header.
std::vector<char> baselineBuffer;
size_t baselineRead(const std::string& path, const std::string& section) {
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    fstat(fd, &st);
    baselineBuffer.resize(size_t(st.st_size));
    ssize_t n = ::read(fd, baselineBuffer.data(), baselineBuffer.size());
    ::close(fd);
    std::string header = "\n[";
    header.append(section).append("]");
    const char* p = baselineBuffer.data();
    const char* end = p + n;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr) {
        if (size_t(end - p) >= header.size() && std::memcmp(p, header.data(), header.size()) == 0)
            return size_t(p - baselineBuffer.data());
        ++p;
    }
    return 0;
}

struct Stats {
    double mean = 0, max = 0;
};

void answerStep() {
    std::mt19937 rng(1);
    std::string content;
    for (int n = 1; n <= 1000; ++n) {
        content.append("[").append(std::to_string(n)).append("]\r\n");
        for (const char* key : {"q", "a1", "a2", "a3", "a4", "a5", "ap"})
            content += std::string(key) + "=" + store::crypt(plainText(rng, 300)) + "\r\n";
    }
    content += "[inf]\r\nvsego=" + store::crypt("1000") + "\r\n";
    ::mkdir("data", 0755);
    ::mkdir("data/tests", 0755);
    writeFile("data/tests/Test1.ini", content); // named "test1.ini" by the program
    const std::string name = "\\data\\tests\\test1.ini";
    const std::string real = fsys::resolve(fsys::storePath(name));

    size_t sink = 0;
    Stats store, base;
    int steps = 0;
    for (int pass = 0; pass < 3; ++pass) {
        for (int n = 1; n < 1000; ++n) {
            const std::string s = std::to_string(n), next = std::to_string(n + 1);
            auto t = Clock::now();
            sink += store::read(s, "ap", name).size();
            sink += store::read("inf", "vsego", name).size();
            for (const char* key : {"q", "a1", "a2", "a3", "a4", "a5"})
                sink += store::read(next, key, name).size();
            double ms = msSince(t);
            t = Clock::now();
            sink += baselineRead(real, s) + baselineRead(real, "inf");
            for (int k = 0; k < 6; ++k)
                sink += baselineRead(real, next);
            double bms = msSince(t);
            if (pass == 0)
                continue; // warming up
            store.mean += ms;
            store.max = std::max(store.max, ms);
            base.mean += bms;
            base.max = std::max(base.max, bms);
            ++steps;
        }
    }
    store.mean /= steps;
    base.mean /= steps;
    if (store::read("500", "q", name).size() != 300 || store::read("inf", "vsego", name) != "1000")
        std::printf("WRONG VALUES\n");
    std::printf("answer step (8 store reads, test file of 1000 questions, %.2f MB), %d steps:\n",
                content.size() / 1e6, steps);
    std::printf("  store:    mean %.3f ms, max %.3f ms per step (goal <= 5 ms)\n", store.mean, store.max);
    std::printf("  baseline: mean %.3f ms, max %.3f ms per step (open/read/close + memchr)\n", base.mean,
                base.max);
    std::printf("  ratio store/baseline: %.2f (goal <= 2)\n", store.mean / base.mean);
    std::printf("  (checksum %zu)\n", sink);
}

void userWrite() {
    std::mt19937 rng(2);
    std::string content;
    static const char* keys[] = {"fam",   "imya",  "otch",  "gruppa", "parol", "status", "data",
                                 "test1", "test2", "test3", "lab1",   "lab2",  "ocenka"};
    for (int r = 0; r < 10000; ++r) {
        char login[16];
        std::snprintf(login, sizeof login, "user%05d", r);
        content += std::string("[") + login + "]\r\n";
        for (const char* key : keys)
            content += std::string(key) + "=" + store::crypt(plainText(rng, 6 + rng() % 14)) + "\r\n";
    }
    writeFile("users.ini", content);
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        char login[16];
        std::snprintf(login, sizeof login, "user%05d", int(rng() % 10000));
        const std::string value = "grade " + std::to_string(i);
        auto t = Clock::now();
        store::write(login, "ocenka", value, "\\users.ini");
        times.push_back(msSince(t));
        if (store::read(login, "ocenka", "\\users.ini") != value)
            std::printf("WRONG VALUE\n");
    }
    std::sort(times.begin(), times.end());
    double mean = 0;
    for (double t : times)
        mean += t;
    mean /= double(times.size());
    auto t = Clock::now();
    store::read("user05000", "parol", "\\users.ini");
    double readMs = msSince(t);
    std::printf(
        "user write (one enciphered value, users.ini of 10000 records x 13 keys, %.2f MB), %zu writes:\n",
        content.size() / 1e6, times.size());
    std::printf("  mean %.2f ms, median %.2f ms, min %.2f ms, max %.2f ms, incl. fsync (goal <= 30 ms)\n",
                mean, times[times.size() / 2], times.front(), times.back());
    std::printf("  one read of a record in the middle: %.3f ms\n", readMs);
}

} // namespace

int main() {
    char dir[] = "/tmp/bench_store.XXXXXX"; // on the disk of the machine, not in memory
    if (!mkdtemp(dir) || chdir(dir) != 0) {
        std::perror("mkdtemp");
        return 1;
    }
    answerStep();
    userWrite();
    std::string cmd = std::string("rm -rf ") + dir;
    if (chdir("/") != 0 || std::system(cmd.c_str()) != 0)
        std::printf("could not remove %s\n", dir);
    return 0;
}
