// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

#include "io/file_error.h"
#include "records/record_reader.h"

namespace velmora::test {

namespace fs = std::filesystem;

namespace {
std::vector<const TempDir*>& liveTempDirs() {
    static std::vector<const TempDir*> live;
    return live;
}
}  // namespace

TempDir::TempDir() : owner_(getpid()) {
    std::string pattern = (fs::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    liveTempDirs().push_back(this);
}

TempDir::~TempDir() {
    std::erase(liveTempDirs(), this);
    remove();
}

void TempDir::remove() const {
    std::error_code ec;
    // Working files are left read-only; make everything removable first, not through links.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink(ec))
            fs::permissions(*it, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void TempDir::removeOwn() {
    for (const TempDir* dir : liveTempDirs())
        if (dir->owner_ == getpid()) dir->remove();
}

fs::path makeTooDeepFolder(const fs::path& parent) {
    const std::string name(200, 'd');
    fs::path path = parent;
    int folder = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int next; folder >= 0 && path.native().size() <= PATH_MAX; folder = next, path /= name) {
        ::mkdirat(folder, name.c_str(), 0755);
        next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
    }
    if (folder < 0) throw std::runtime_error("cannot make " + path.string());
    ::close(folder);
    return path;
}

std::string gzipped(std::string_view text) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
    return out;
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path repoFile(std::string_view relative) {
    return fs::path(VELMORA_SOURCE_DIR) / relative;
}

std::string textLog(std::initializer_list<std::string_view> dataLines, std::string_view eol) {
    std::string log;
    for (std::string_view line :
         {"# $Creator: Network Stumbler Version 0.4.0", "# $Format: wi-scan with extensions",
          "# Latitude\tLongitude\t( SSID )\tType\t( BSSID )\tTime (GMT)\t"
          "[ SNR Sig Noise ]\t# ( Name )\tFlags\tChannelbits\tBcnIntvl",
          "# $DateGMT: 2004-06-05"})
        log.append(line).append(eol);
    for (std::string_view line : dataLines) log.append(line).append(eol);
    return log;
}

std::string dataLine(std::string_view lat, std::string_view lon, std::string_view ssid,
                     std::string_view bssid, std::string_view flags, std::string_view type) {
    std::string line;
    line.append(lat).append("\t").append(lon).append("\t( ").append(ssid).append(" )\t");
    line.append(type).append("\t( ").append(bssid).append(" )\t01:02:03 (GMT)\t[ 25 74 49 ]\t");
    line.append("# (  )\t").append(flags).append("\t00000040\t100");
    return line;
}

std::vector<WorkingRecord> readRecords(const fs::path& file) {
    RecordReader reader(file);
    std::vector<WorkingRecord> out;
    for (WorkingRecord record; reader.next(record);) out.push_back(record);
    return out;
}

fs::path fileErrorPath(const std::function<void()>& run) {
    try {
        run();
    } catch (const FileError& e) {
        return e.reason().empty() ? "<no reason>" : e.path();
    }
    return "<no error>";
}

std::string fileError(const std::function<void()>& run) {
    try {
        run();
    } catch (const FileError& e) {
        return e.path().string() + ": " + e.reason();
    }
    return "<no error>";
}

namespace {
// A sanitizer's shadow memory and bookkeeping make the peak memory of a build under it say
// nothing of the program's own; the ordinary build's run of the same test checks it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif
#else
constexpr bool kMemoryIsMeasurable = true;
#endif
}  // namespace

int runInChild(const std::function<void()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

void exitWith(const std::function<bool()>& work, std::uint64_t fileSizeLimit, long memoryMiB) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const rlimit limit{fileSizeLimit, fileSizeLimit};
    if (fileSizeLimit) setrlimit(RLIMIT_FSIZE, &limit);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const bool ok = work();
    getrusage(RUSAGE_SELF, &after);
    TempDir::removeOwn();
    _exit(!ok ? 1
          : kMemoryIsMeasurable && memoryMiB &&
                  (after.ru_maxrss - before.ru_maxrss) / 1024 > memoryMiB
              ? 2
              : 0);
}

LinkTrap::LinkTrap(const fs::path& folder)
    : outside(folder.string() + ".outside"), absent(folder.string() + ".absent") {
    fs::create_directories(folder);
    writeFile(outside, "precious\r\n");
    fs::permissions(outside, fs::perms(0640));
    fs::create_symlink(outside, folder / "symlink");
    fs::create_hard_link(outside, folder / "hardlink");
    fs::create_symlink(absent, folder / "dangling");
    before_ = state();
}

std::string LinkTrap::state() const {
    return readFile(outside) + std::to_string(int(fs::status(outside).permissions())) +
           (fs::exists(fs::symlink_status(absent)) ? " and the absent name made" : "");
}

std::string chunkSpanningRecords() {
    const std::string_view items[] = {"N1", "", " x", "\"a,b\"", "c\"d", "00:0a", "#Blank#"};
    const std::string_view ends[] = {"\r\n", "\n", "\r", ",", "\r\n\r\n"};
    std::mt19937 random(7);
    std::string bytes;
    while (bytes.size() < (5 << 20)) {
        for (int k = 0; k < 11; ++k) {
            if (k) bytes += random() % 50 ? "," : ",,";
            bytes += items[random() % std::size(items)];
        }
        bytes += ends[random() % 40 ? random() % 3 : 3 + random() % 2];
        if (bytes.back() == ',') bytes += "\r\n";
        if (bytes.size() > (3 << 20) && bytes.size() < (3 << 20) + 200)
            bytes += std::string((2 << 20) + 5, 'L') + "\r\n";
    }
    return bytes;
}

}  // namespace velmora::test
