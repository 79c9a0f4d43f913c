#include "BenchFiles.h"

#include "AudioFiles.h"
#include "MpegFrames.h"

#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <vector>

namespace corvaline::bench {
namespace {

namespace fs = std::filesystem;
namespace ts = corvaline::testsupport;

struct FileSpec {
    std::string name;
    int rate;
    long seconds;
    unsigned seed;
};

BenchFiles g_files;

bool WriteIfMissing(const fs::path& dir, const FileSpec& spec) {
    const fs::path path = dir / spec.name;
    std::error_code error;
    if (fs::exists(path, error)) {
        return true;
    }
    // Written under another name first, so an interrupted run leaves nothing that a
    // later run would take for a finished file.
    const std::string partial = path.string() + ".partial";
    const bool written = ts::WriteMp3(partial, spec.rate, 2, spec.rate * spec.seconds,
                                      ts::Music(spec.rate, spec.seed));
    if (written) {
        fs::rename(partial, path, error);
    }
    if (!written || error) {
        fs::remove(partial, error);
        std::fprintf(stderr, "sound_bench: could not write %s\n", path.c_str());
        return false;
    }
    return true;
}

// A copy of an MPEG file without its first frame, which holds its frame table.
bool WriteWithoutFrameTable(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 4) {
        return false;
    }
    const fsound::MpegHeader first =
        fsound::ParseMpegHeader(reinterpret_cast<const unsigned char*>(bytes.data()));
    if (first.layer == 0 || static_cast<std::size_t>(first.frameBytes) >= bytes.size()) {
        return false;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data() + first.frameBytes,
              static_cast<std::streamsize>(bytes.size()) - first.frameBytes);
    return static_cast<bool>(out.flush());
}

} // namespace

bool PrepareBenchFiles(const std::string& dir, BenchFiles& files) {
    const FileSpec a{"Music44k1A.mp3", 44100, 300, 11};
    const FileSpec b{"Music44k1B.mp3", 44100, 300, 23};
    const FileSpec r{"Music48k.mp3", 48000, 300, 37};
    const FileSpec l{"Music44k1Long.mp3", 44100, 600, 53};

    std::error_code error;
    fs::create_directories(dir, error);
    const fs::path base(dir);
    files = {(base / a.name).string(), (base / b.name).string(), (base / r.name).string(),
             (base / l.name).string(), (base / "Music44k1LongNoXing.mp3").string()};

    if (!fs::exists(files.musicA) || !fs::exists(files.musicB) || !fs::exists(files.music48k) ||
        !fs::exists(files.longVbr)) {
        std::fprintf(stderr, "sound_bench: encoding test audio into %s (first run only)...\n",
                     dir.c_str());
    }
    // Encoding is single-threaded: the long file on one core, the three short ones on
    // the other, which roughly balances the two.
    auto longOne = std::async(std::launch::async, [&] { return WriteIfMissing(base, l); });
    bool ok = true;
    for (const FileSpec* spec : {&a, &b, &r}) {
        ok = WriteIfMissing(base, *spec) && ok;
    }
    ok = longOne.get() && ok;
    if (ok && !WriteWithoutFrameTable(files.longVbr, files.longVbrNoTable)) {
        std::fprintf(stderr, "sound_bench: could not write %s\n", files.longVbrNoTable.c_str());
        ok = false;
    }
    g_files = files;
    return ok;
}

const BenchFiles& CurrentBenchFiles() {
    return g_files;
}

double FileSeconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        return 0.0;
    }
    sf_close(file);
    return info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0.0;
}

} // namespace corvaline::bench
