// PNG -> BMP and BMP -> PNG of a 24-megapixel photo-like image, against
// ImageMagick's `convert in.png out.png` (a plain decode + encode) measured in
// the same run. Each conversion runs in a child process so its peak memory
// (ru_maxrss from wait4) is its own.
//
//   bench_core_convert [repeats]      (default 3; the best time is kept)
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "driver/png_convert.h"

namespace {

struct Measure {
    double seconds = 1e30;  // best wall time
    double cpu = 1e30;      // user + system of that run
    long peak_kb = 0;       // largest peak seen
    bool ok = true;
};

double Seconds(const timeval &t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `work` in a child (exit status 0 = success) `repeats` times.
Measure InChild(int repeats, const std::function<bool()> &work)
{
    Measure m;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) _exit(work() ? 0 : 1);
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            m.ok = false;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (wall < m.seconds) {
            m.seconds = wall;
            m.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        }
        m.peak_kb = std::max(m.peak_kb, usage.ru_maxrss);
    }
    return m;
}

bool Run(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::string Local(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

void Row(const char *name, const Measure &m, const Measure &base, qint64 bytes)
{
    std::printf("%-34s %8.3f %8.3f %9.1f %7.2f %7.2f %11lld\n", name, m.seconds, m.cpu,
                static_cast<double>(m.peak_kb) / 1024.0, m.seconds / base.seconds,
                static_cast<double>(m.peak_kb) / static_cast<double>(base.peak_kb),
                static_cast<long long>(bytes));
}

}  // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const QString source = QStringLiteral(VELTA_CORPUS_DIR "/kodim03-colour.png");
    const QString big = dir.filePath("big.png");
    const QString grey = dir.filePath("big-grey.png");
    std::printf("Making a 6000x4000 photo-like PNG from %s ...\n", Local(source).c_str());
    if (!Run({"convert", Local(source), "-resize", "6000x4000!", "-attenuate", "0.3", "+noise",
              "Gaussian", Local(big)}) ||
        !Run({"convert", Local(big), "-colorspace", "Gray", "-depth", "8", "-define",
              "png:color-type=0", Local(grey)})) {
        std::fprintf(stderr, "ImageMagick's convert is needed to make the image\n");
        return 1;
    }

    struct Image {
        const char *label;
        QString png;
    };
    for (const Image &image : {Image{"24-bit colour", big}, Image{"8-bit grey", grey}}) {
        const QString magick_out = dir.filePath("magick.png");
        const QString bmp = dir.filePath("ours.bmp");
        const QString back = dir.filePath("ours.png");
        std::printf("\n%s, %s: %lld bytes, best of %d\n", image.label, "6000x4000",
                    static_cast<long long>(QFileInfo(image.png).size()), repeats);
        std::printf("%-34s %8s %8s %9s %7s %7s %11s\n", "conversion", "wall s", "cpu s",
                    "peak MiB", "t/base", "m/base", "out bytes");

        const Measure base = InChild(repeats, [&] {
            return Run({"convert", Local(image.png), Local(magick_out)});
        });
        Row("convert in.png out.png (baseline)", base, base, QFileInfo(magick_out).size());

        QString message;
        const Measure to_bmp =
            InChild(repeats, [&] { return velta::PngToBmp(image.png, bmp, message); });
        Row("PNG -> BMP", to_bmp, base, QFileInfo(bmp).size());

        struct Setting {
            const char *name;
            velta::PngWriteOptions options;
        };
        const Setting settings[] = {
            {"BMP -> PNG level 6, all filters", {6, -1}},
            {"BMP -> PNG level 1, all filters", {1, -1}},
            {"BMP -> PNG level 3, all filters", {3, -1}},
            {"BMP -> PNG level 4, all filters", {4, -1}},
            {"BMP -> PNG level 9, all filters", {9, -1}},
            {"BMP -> PNG level 6, Paeth only", {6, 0x80}},
            {"BMP -> PNG level 6, Sub only", {6, 0x10}},
            {"BMP -> PNG level 6, no filter", {6, 0x08}},
        };
        for (const Setting &s : settings) {
            const Measure m = InChild(
                repeats, [&] { return velta::BmpToPng(bmp, back, message, s.options); });
            Row(s.name, m, base, QFileInfo(back).size());
            if (!m.ok) std::printf("  (failed)\n");
        }
        if (!base.ok || !to_bmp.ok) std::printf("  (a conversion failed)\n");
    }
    std::printf("\nt/base and m/base: wall time and peak memory over the baseline's.\n");
    return 0;
}
