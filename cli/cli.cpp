#include "cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "console_ui_port.h"
#include "driver/engine_binding.h"
#include "driver/image_files.h"
#include "driver/operation_run.h"
#include "driver/prechecks.h"
#include "driver/status_messages.h"
#include "driver/validation.h"
#include "driver/workflow.h"
#include "driver/workflow_support.h"

namespace velta::cli {

namespace {

constexpr int kMinKeyLength = 16;
constexpr int kMaxKeyLength = 64;
constexpr int16_t kTextNoEngineMemory = 3;
constexpr int32_t kNotFound = OMBRA_MAX_IMAGES;

// ---- Program texts ---------------------------------------------------------

// velta.dat beside the executable, read as the windows read it.
QHash<int, QString> LoadProgramTexts() {
    QHash<int, QString> texts;
    QFile f(QCoreApplication::applicationDirPath() + QStringLiteral("/velta.dat"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return texts;
    }
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        bool ok = false;
        const int n = eq > 0 ? line.left(eq).trimmed().toInt(&ok) : 0;
        if (ok) {
            const QString text = line.mid(eq + 1);
            texts.insert(n, text == QStringLiteral("~") ? QString() : text);
        }
    }
    return texts;
}

// ---- Progress line -----------------------------------------------------------

// "velta-cli: <phase>... 3 s" on standard error, after the first second,
// only on a terminal.
class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO) == 1) {
        if (enabled_) {
            start_ = std::chrono::steady_clock::now();
            thread_ = std::thread([this] { loop(); });
        }
    }
    ~Progress() { stop(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void setPhase(const QString &phase) {
        std::lock_guard<std::mutex> lock(mutex_);
        phase_ = phase.toStdString();
    }
    void stop() {
        if (!enabled_) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
        enabled_ = false;
        if (shown_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return done_; })) {
            const auto s = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::steady_clock::now() - start_)
                               .count();
            if (s >= 1) {
                std::fprintf(stderr, "\r\033[Kvelta-cli: %s... %lld s", phase_.c_str(),
                             static_cast<long long>(s));
                std::fflush(stderr);
                shown_ = true;
            }
        }
    }

    bool enabled_;
    bool done_ = false;
    bool shown_ = false;
    std::string phase_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

// ---- The host of the workflow --------------------------------------------------

class CliHost : public WorkflowHost {
public:
    CliHost(Entries entries, QHash<int, QString> texts, Progress &progress)
        : entries_(std::move(entries)), texts_(std::move(texts)), progress_(progress) {}
    Entries entries() const override { return entries_; }
    void setEntries(const Entries &e) { entries_ = e; }
    QString keyText() const override { return key_; }
    void setKey(const QString &key) { key_ = key; }
    QString reportText() const override { return report_; }
    void setReportText(const QString &text) override { report_ = text; }
    QString programText(int16_t number) const override { return texts_.value(number); }
    // The inspection ends with a refresh of the window: the conversion is over.
    void gotFocus() override {
        progress_.setPhase(entries_.hide ? QStringLiteral("embedding and verifying")
                                         : QStringLiteral("extracting"));
    }
    void wipeKey() {
        key_.fill(QChar(0));
        key_.clear();
    }

private:
    Entries entries_;
    QHash<int, QString> texts_;
    Progress &progress_;
    QString key_;
    QString report_;
};

// A port that answers every question the same way and shows nothing: the
// capacity rules asked how far they go.
class SilentPort : public UiPort {
public:
    explicit SilentPort(MessageAnswer answer) : answer_(answer) {}
    MessageAnswer showMessage(const QString &, MessageIcon, MessageButtons b,
                              const QString &) override {
        return b == MessageButtons::Ok ? MessageAnswer::Ok : answer_;
    }
    QString openFileName(const QString &, const QString &) override { return QString(); }
    QString saveFileName(const QString &, const QString &) override { return QString(); }
    void pause(int) override {}

private:
    MessageAnswer answer_;
};

// ---- Key -------------------------------------------------------------------------

QString ReadLineFromFd(FILE *in) {
    std::string line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
    }
    QString s = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    std::fill(line.begin(), line.end(), '\0');
    if (s.endsWith(QLatin1Char('\r'))) {
        s.chop(1);
    }
    return s;
}

QString PromptWithoutEcho(const char *prompt) {
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QString key = ReadLineFromFd(stdin);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    }
    std::fputs("\n", stderr);
    return key;
}

// The key from --key-file, from standard input when it is not a terminal,
// else typed twice (hiding) or once. Empty with `error` set on refusal.
QString ReadKey(const QString &key_file, bool hide, QString &error) {
    QString key;
    if (!key_file.isEmpty()) {
        QFile f(key_file);
        if (!f.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("The key file ") + key_file + QStringLiteral(" cannot be read.");
            return QString();
        }
        QByteArray bytes = f.readLine(4096);
        key = QString::fromUtf8(bytes);
        wf::WipeBytes(bytes);
        while (key.endsWith(QLatin1Char('\n')) || key.endsWith(QLatin1Char('\r'))) {
            key.chop(1);
        }
    } else if (isatty(STDIN_FILENO) != 1) {
        key = ReadLineFromFd(stdin);
    } else {
        key = PromptWithoutEcho("Key (16-64 characters, spaces ignored, case not significant): ");
        if (hide && !key.isEmpty()) {
            QString again = PromptWithoutEcho("The same key again: ");
            const bool same = again == key;
            again.fill(QChar(0));
            if (!same) {
                key.fill(QChar(0));
                error = QStringLiteral("The two keys differ.");
                return QString();
            }
        }
    }
    QString refusal;
    if (key.isEmpty()) {
        refusal = QStringLiteral("The key has not been specified.");
    } else if (key.size() > kMaxKeyLength) {
        refusal = QStringLiteral("The key has more than 64 characters.");
    } else if (!wf::KeyIsAdmissible(key, kMinKeyLength)) {
        refusal = QStringLiteral("The key has fewer than 16 significant characters "
                                 "(spaces are ignored).");
    }
    if (!refusal.isEmpty()) {
        key.fill(QChar(0));
        error = refusal;
        return QString();
    }
    return key;
}

// ---- Engine and working folder ---------------------------------------------------

// Binds the engine and makes a working folder for one command; undone on
// destruction.
class Session {
public:
    bool open(const QHash<int, QString> &texts, QString &error) {
        const EngineBindResult &r = Engine().bind();
        if (!r.ok()) {
            error = r.text;
            return false;
        }
        if (Engine().allocateBuffers() != 1) {
            error = texts.value(kTextNoEngineMemory);
            return false;
        }
        allocated_ = true;
        folder_ = wf::CreateWorkingFolder(QStringLiteral("VELTA"));
        if (folder_.isEmpty()) {
            error = QStringLiteral("The working folder could not be created.");
            return false;
        }
        return true;
    }
    ~Session() {
        // Only this run's folder: another run (a window or a script) may be
        // using the others.
        if (!folder_.isEmpty()) {
            QDir(folder_).removeRecursively();
        }
        if (allocated_) {
            Engine().deallocateBuffers();
        }
    }
    const QString &folder() const { return folder_; }

private:
    bool allocated_ = false;
    QString folder_;
};

QString ErrorLine(int32_t code) {
    const QString m = StatusMessage(static_cast<int16_t>(code < -32768 ? -32768 : code));
    return QStringLiteral("Error, ") + m.toLower() + QStringLiteral(".");
}

bool FormatFromText(const QString &text, ImageFormat &format) {
    const QString t = text.toLower();
    if (t == QStringLiteral("png")) {
        format = ImageFormat::Png;
        return true;
    }
    if (t == QStringLiteral("bmp")) {
        format = ImageFormat::Bmp;
        return true;
    }
    return false;
}

// The format of an image: its extension, else its content.
ImageFormat FormatOf(const QString &path) {
    ImageFormat f = ImageFormat::Bmp;
    if (FormatFromText(wf::ExtensionOfPath(path, true), f)) {
        return f;
    }
    return IsPngFile(path) == 1 ? ImageFormat::Png : ImageFormat::Bmp;
}

QString Bytes(int64_t n) {
    return QLocale().toString(static_cast<qlonglong>(n)) + QStringLiteral(" bytes");
}

// ---- Options -----------------------------------------------------------------------

struct Options {
    QString command;
    QStringList images;
    QString data;
    QString out;
    QString out_dir;
    QString key_file;
    QString format;
    bool force = false;
    bool overwrite = false;
    bool quiet = false;
};

const char *const kUsage =
    "Usage: velta-cli hide --image IN [--image IN2 ...] --data FILE (--out STEGO | --out-dir DIR)\n"
    "                      [--format png|bmp] [--force] [--overwrite] [--key-file F] [--quiet]\n"
    "       velta-cli extract --image STEGO [--image STEGO2 ...] --out FILE\n"
    "                      [--format png|bmp] [--overwrite] [--key-file F] [--quiet]\n"
    "       velta-cli info IMAGE\n"
    "\n"
    "Hides a data file in PNG or BMP images, or extracts it, with a key of 16 to 64\n"
    "characters (spaces ignored, case not significant). The key is never given on the\n"
    "command line: it is read from --key-file, from standard input when that is not a\n"
    "terminal, or asked for without echo (twice when hiding).\n"
    "\n"
    "Several --image options form an image set: hiding spreads the data over them in the\n"
    "order given and writes the stego images into --out-dir under their own names;\n"
    "extraction takes the set in any order.\n"
    "\n"
    "  --format png|bmp  image format (default: from the file extension)\n"
    "  --force           hide even when the image is probably too small\n"
    "  --overwrite       replace an existing output file\n"
    "  --quiet           no progress line\n"
    "  -h, --help        this text\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed, 2 bad usage.\n";

void PrintUsage(FILE *to) { std::fputs(kUsage, to); }

int UsageError(const QString &text) {
    PrintError(QStringLiteral("velta-cli: ") + text);
    std::fputs("Try 'velta-cli --help'.\n", stderr);
    return kExitUsage;
}

// ---- info ------------------------------------------------------------------------

// The largest data file length the capacity rules accept, with the questions
// answered `answer`. The accepted lengths form intervals that end at the
// rules' thresholds, so the thresholds are the candidates.
int64_t LargestAccepted(int64_t c, int64_t f, ImageFormat format, MessageAnswer answer) {
    SilentPort port(answer);
    int64_t best = 0;
    const int64_t candidates[] = {c / 4, c / 2, f / 2, f, kMaxDataFileBytes};
    for (int64_t d : candidates) {
        d = std::min(d, kMaxDataFileBytes);
        if (d > best && CapacityIsSufficient(d, c, f, format, port)) {
            best = d;
        }
    }
    return best;
}

int Info(const Options &o, const QHash<int, QString> &texts) {
    if (o.images.size() != 1) {
        return UsageError(QStringLiteral("info takes one image."));
    }
    const QString image = o.images.front();
    if (!wf::FileExists(image)) {
        PrintError(QStringLiteral("The image file ") + image + QStringLiteral(" does not exist."));
        return kExitFailed;
    }
    Session session;
    QString error;
    if (!session.open(texts, error)) {
        PrintError(error);
        return kExitFailed;
    }
    const bool png = IsPngFile(image) == 1;
    BmpRecord rec;
    rec.file_path = image;
    if (png) {
        rec.file_path = ConvertedBmpPath(session.folder(), image);
        QString message;
        if (!ConvertImageFile(image, rec.file_path, message)) {
            PrintError(image + QStringLiteral(": ") + message);
        }
    }
    const int16_t s = ReadBmpInfo(rec, 0, kNotFound);
    if (s != 0) {
        rec.info.is_suitable = 0;
        rec.info.unsuitable_reason = std::abs(s) + 5;
    } else {
        AssessImageSuitability(rec, true, OperationState().min_randomness);
    }
    QTextStream out(stdout);
    const BmpFileInfo &i = rec.info;
    out << "Image:       " << image << '\n';
    out << "Format:      " << (png ? "PNG" : (s == 0 ? "BMP" : "unknown")) << '\n';
    if (s == 0) {
        out << "Dimensions:  " << i.width << " x " << i.height << '\n';
        out << "Bit depth:   " << i.bits_per_pixel << " bits per pixel, "
            << (i.is_grayscale == 1 ? "grey" : "colour") << '\n';
    }
    if (i.is_suitable == 1) {
        out << "Suitable:    yes\n";
    } else {
        QString why = QStringLiteral("The image file ") + wf::NamePart(image) +
                      UnsuitabilityText(i);
        why.replace(QStringLiteral("\r\n"), QStringLiteral("\n             "));
        out << "Suitable:    no: " << why << '\n';
    }
    if (s == 0) {
        const double m = wf::FileRandomness(rec.file_path, 1024);
        out << "Randomness:  " << QString::number(m, 'f', 4) << " (at least "
            << QString::number(OperationState().min_randomness, 'f', 2) << " needed)\n";
        if (i.is_suitable == 1) {
            const int64_t c = i.pixel_bytes;
            const int64_t f = wf::FileLength64(image);
            const ImageFormat format = png ? ImageFormat::Png : ImageFormat::Bmp;
            out << "Capacity:    " << Bytes(LargestAccepted(c, f, format, MessageAnswer::No))
                << " without a question, "
                << Bytes(LargestAccepted(c, f, format, MessageAnswer::Yes))
                << " at most (with --force)\n";
        }
    }
    out.flush();
    return kExitOk;
}

// ---- One image: the workflow ---------------------------------------------------------

int RunWorkflow(const Options &o, const QHash<int, QString> &texts) {
    Entries e;
    e.hide = o.command == QStringLiteral("hide");
    e.warn_on_overwrite = true;
    e.display_in_browser = false;
    e.open_after_extraction = false;
    if (e.hide) {
        e.original_image = o.images.front();
        e.stego_image = o.out.isEmpty() ? QDir(o.out_dir).filePath(wf::NamePart(e.original_image))
                                        : o.out;
        e.message_file = o.data;
        if (!FormatFromText(wf::ExtensionOfPath(e.stego_image, true), e.format)) {
            e.format = FormatOf(e.original_image);
        }
    } else {
        e.stego_image = o.images.front();
        e.message_file = o.out;
        e.format = FormatOf(e.stego_image);
    }
    if (!o.format.isEmpty()) {
        FormatFromText(o.format, e.format);
    }

    Progress idle(false);
    CliHost host(e, texts, idle);
    OperationState state;
    // The entries are checked before the key is asked for.
    const QString invalid = ValidateInput(e, false, host, state);
    if (!invalid.isEmpty()) {
        PrintError(invalid);
        return kExitFailed;
    }
    QString error;
    const QString key = ReadKey(o.key_file, e.hide, error);
    if (key.isEmpty()) {
        PrintError(error);
        return kExitFailed;
    }
    host.setKey(key);
    Session session;
    if (!session.open(texts, error)) {
        PrintError(error);
        return kExitFailed;
    }
    state.velta_folder = session.folder();
    ConsoleUiPort ui(o.force, o.overwrite);
    {
        Progress running(!o.quiet);
        running.setPhase(e.format == ImageFormat::Png
                             ? QStringLiteral("converting")
                             : (e.hide ? QStringLiteral("embedding") : QStringLiteral("extracting")));
        CliHost run_host(e, texts, running);
        run_host.setKey(key);
        PerformTheOperation(run_host, ui, state);
        run_host.wipeKey();
    }
    host.wipeKey();
    if (ui.titles().contains(kTitleUnsuitable)) {
        PrintError(QStringLiteral("The image file ") + wf::NamePart(e.original_image) +
                   UnsuitabilityText(state.bmp_info.info));
    }
    return ui.titles().contains(kTitleDone) ? kExitOk : kExitFailed;
}

// ---- Image sets: the engine binding with the workflow's pieces -----------------------

// Asks the workflow's overwrite question for `path` when it exists.
bool MayWrite(ConsoleUiPort &ui, const QString &path, bool hide) {
    if (!wf::FileExists(path)) {
        return true;
    }
    const QString t = hide ? QStringLiteral("The output image file exists.")
                           : QStringLiteral("The file to contain the extracted message exists.");
    return AskYesNo(ui, path + kCrLf + t + kCrLf + QStringLiteral("OK to overwrite it?"),
                    MessageIcon::None, kTitleFileExists);
}

struct SetImage {
    QString path;      // as the user gave it
    ImageFormat format = ImageFormat::Bmp;
    QString output;    // hide: the stego image in --out-dir
    BmpRecord record;  // the BMP the engine reads
};

int HideSet(const Options &o, const QHash<int, QString> &texts) {
    if (o.out_dir.isEmpty() || !o.out.isEmpty()) {
        return UsageError(QStringLiteral("an image set is hidden with --out-dir DIR, not --out."));
    }
    if (o.images.size() > OMBRA_MAX_IMAGES) {
        PrintError(QStringLiteral("An image set has at most 800 images."));
        return kExitFailed;
    }
    if (!QFileInfo(o.out_dir).isDir()) {
        PrintError(QStringLiteral("The folder ") + o.out_dir + QStringLiteral(" does not exist."));
        return kExitFailed;
    }
    Progress idle(false);
    CliHost host(Entries(), texts, idle);
    OperationState state;
    QList<SetImage> set;
    QHash<QString, QString> names;  // folded name -> image
    for (const QString &path : o.images) {
        SetImage im;
        im.path = path;
        im.format = FormatOf(path);
        if (!o.format.isEmpty()) {
            FormatFromText(o.format, im.format);
        }
        im.output = QDir(o.out_dir).filePath(wf::NamePart(path));
        Entries e;
        e.hide = true;
        e.format = im.format;
        e.original_image = path;
        e.stego_image = im.output;
        e.message_file = o.data;
        const QString invalid = ValidateInput(e, false, host, state);
        if (!invalid.isEmpty()) {
            PrintError(invalid);
            if (invalid.contains(QStringLiteral("original (input)"))) {
                PrintError(path);
            }
            return kExitFailed;
        }
        // The engine names its outputs by the folded name part.
        const QString folded = wf::AsciiLower(wf::NamePart(path));
        if (names.contains(folded)) {
            PrintError(QStringLiteral("Two images of the set have the same name: ") +
                       names.value(folded) + QStringLiteral(" and ") + path + QStringLiteral("."));
            return kExitFailed;
        }
        names.insert(folded, path);
        set << im;
    }
    ConsoleUiPort ui(o.force, o.overwrite);
    for (const SetImage &im : set) {
        if (!MayWrite(ui, im.output, true)) {
            return kExitFailed;
        }
    }
    QString error;
    QString key = ReadKey(o.key_file, true, error);
    if (key.isEmpty()) {
        PrintError(error);
        return kExitFailed;
    }
    Session session;
    if (!session.open(texts, error)) {
        PrintError(error);
        return kExitFailed;
    }
    const QString work = session.folder();
    Progress progress(!o.quiet);

    // Inspection: every image readable and suitable; the capacity of the set.
    int64_t colour_bytes = 0;
    int64_t file_bytes = 0;
    bool all_png = true;
    for (qsizetype n = 0; n < set.size(); ++n) {
        SetImage &im = set[n];
        progress.setPhase(QStringLiteral("converting image %1 of %2").arg(n + 1).arg(set.size()));
        im.record.file_path = im.path;
        if (im.format == ImageFormat::Png) {
            im.record.file_path = ConvertedBmpPath(work, im.path);
            QString message;
            ConvertImageFile(im.path, im.record.file_path, message);
        } else {
            all_png = false;
        }
        const int16_t s = ReadBmpInfo(im.record, 0, kNotFound);
        if (s != 0) {
            im.record.info.is_suitable = 0;
            im.record.info.unsuitable_reason = std::abs(s) + 5;
        } else {
            AssessImageSuitability(im.record, true, state.min_randomness);
        }
        if (im.record.info.is_suitable != 1) {
            progress.stop();
            PrintError(QStringLiteral("The input image is not suitable."));
            PrintError(QStringLiteral("The image file ") + im.path +
                       UnsuitabilityText(im.record.info));
            return kExitFailed;
        }
        colour_bytes += im.record.info.pixel_bytes;
        file_bytes += wf::FileLength64(im.path);
    }
    progress.stop();
    if (!CapacityIsSufficient(wf::FileLength64(o.data), colour_bytes, file_bytes,
                              all_png ? ImageFormat::Png : ImageFormat::Bmp, ui)) {
        return kExitFailed;
    }

    Progress embedding(!o.quiet);
    embedding.setPhase(QStringLiteral("embedding"));
    const int32_t count = static_cast<int32_t>(set.size());
    for (int32_t n = 0; n < count; ++n) {
        if (Engine().passBmpFileInfo(n, set[n].record) < 0) {
            embedding.stop();
            PrintError(QStringLiteral("Insufficient memory."));
            return kExitFailed;
        }
    }
    // The engine writes every stego BMP into the working folder: a PNG's
    // converted BMP is rewritten in place, a BMP gets its copy there.
    const int32_t init = Engine().operationInitialization(true, o.data, count, work);
    if (init < 0) {
        embedding.stop();
        PrintError(init == OMBRA_INIT_MESSAGE_PATH_LONG
                       ? QStringLiteral("Path to data file too long (is > 255 bytes).")
                       : QStringLiteral("Path to output images folder is too long (is > 255 bytes)"));
        return kExitFailed;
    }
    SeedEngine(key);
    key.fill(QChar(0));
    int32_t r = Engine().hideMessage();
    if (r < 0) {
        embedding.stop();
        PrintError(ErrorLine(r));
        return kExitFailed;
    }

    // The images the data reached, put in place; a PNG only after it read
    // back as the very BMP the engine wrote.
    for (int32_t n = 0; n < r && n < count; ++n) {
        const SetImage &im = set[n];
        embedding.setPhase(QStringLiteral("verifying image %1 of %2").arg(n + 1).arg(r));
        QString message;
        if (im.format == ImageFormat::Png) {
            const QString stego_bmp = im.record.file_path;
            const QString temp_png = wf::SiblingTempPath(im.output);
            const QString check = CheckCopyPath(stego_bmp);
            ConvertImageFileAndClean(stego_bmp, temp_png, false, false, message);
            ConvertImageFile(temp_png, check, message);
            const bool same = wf::SameContentDigest(stego_bmp, check);
            wf::KillFile(check);
            if (!same) {
                wf::KillFile(temp_png);
                embedding.stop();
                PrintError(im.path + QStringLiteral(": ") + ErrorLine(kStatusPngUnsuitable));
                return kExitFailed;
            }
            if (!wf::ReplaceFile(temp_png, im.output, error)) {
                wf::KillFile(temp_png);
                embedding.stop();
                PrintError(QStringLiteral("Unable to write the stego image ") + im.output + kCrLf +
                           error);
                return kExitFailed;
            }
        } else {
            const QString engine_output = EngineOutputPath(work, im.path);
            const bool ok = wf::CopyIntoPlace(engine_output, im.output, error);
            wf::KillFile(engine_output);
            if (!ok) {
                embedding.stop();
                PrintError(QStringLiteral("Unable to write the stego image ") + im.output + kCrLf +
                           error);
                return kExitFailed;
            }
        }
    }
    embedding.stop();
    PrintError(QStringLiteral("The data file has been hidden."));
    QTextStream out(stdout);
    for (int32_t n = 0; n < count; ++n) {
        out << (n < r ? set[n].output
                      : set[n].path + QStringLiteral(" (not needed, not written)"))
            << '\n';
    }
    if (r < count) {
        PrintError(QStringLiteral("The data file needed %1 of the %2 images; extract it from those %1.")
                       .arg(r)
                       .arg(count));
    }
    return kExitOk;
}

int ExtractSet(const Options &o, const QHash<int, QString> &texts) {
    if (o.images.size() > OMBRA_MAX_IMAGES) {
        PrintError(QStringLiteral("An image set has at most 800 images."));
        return kExitFailed;
    }
    Progress idle(false);
    CliHost host(Entries(), texts, idle);
    OperationState state;
    QList<SetImage> set;
    for (const QString &path : o.images) {
        SetImage im;
        im.path = path;
        im.format = FormatOf(path);
        if (!o.format.isEmpty()) {
            FormatFromText(o.format, im.format);
        }
        Entries e;
        e.hide = false;
        e.format = im.format;
        e.stego_image = path;
        e.message_file = o.out;
        const QString invalid = ValidateInput(e, false, host, state);
        if (!invalid.isEmpty()) {
            PrintError(invalid);
            PrintError(path);
            return kExitFailed;
        }
        set << im;
    }
    ConsoleUiPort ui(false, o.overwrite);
    if (!MayWrite(ui, o.out, false)) {
        return kExitFailed;
    }
    QString error;
    QString key = ReadKey(o.key_file, false, error);
    if (key.isEmpty()) {
        PrintError(error);
        return kExitFailed;
    }
    Session session;
    if (!session.open(texts, error)) {
        PrintError(error);
        return kExitFailed;
    }
    Progress progress(!o.quiet);
    // Each image's slot from its sequence signature, found with the key.
    SeedEngine(key);
    QMap<int32_t, qsizetype> slot_of;
    int foreign = 0;
    QStringList foreign_names;
    for (qsizetype n = 0; n < set.size(); ++n) {
        SetImage &im = set[n];
        progress.setPhase(QStringLiteral("converting image %1 of %2").arg(n + 1).arg(set.size()));
        im.record.file_path = im.path;
        if (im.format == ImageFormat::Png) {
            // Numbered, so that equal names from different folders stay apart.
            im.record.file_path = session.folder() + QStringLiteral("set%1-").arg(n, 3, 10, QLatin1Char('0')) +
                                  ConvertedBmpPath(QString(), im.path);
            QString message;
            ConvertImageFile(im.path, im.record.file_path, message);
        }
        const int16_t s = ReadBmpInfo(im.record, 1, kNotFound);
        if (s != 0) {
            progress.stop();
            im.record.info.unsuitable_reason = std::abs(s) + 5;
            PrintError(QStringLiteral("The image file ") + im.path +
                       UnsuitabilityText(im.record.info));
            return kExitFailed;
        }
        const int32_t slot = im.record.info.sequence_index;
        if (slot == kNotFound) {
            ++foreign;
            foreign_names << im.path;
            continue;
        }
        if (slot_of.contains(slot)) {
            progress.stop();
            PrintError(QStringLiteral("The images %1 and %2 are the same image of the set (number %3).")
                           .arg(set[slot_of.value(slot)].path, im.path)
                           .arg(slot + 1));
            return kExitFailed;
        }
        slot_of.insert(slot, n);
    }
    progress.stop();
    if (foreign == set.size()) {
        // No image knows the key: the usual wrong key or foreign image.
        PrintError(ErrorLine(OMBRA_E_NOTHING_EXTRACTED));
        return kExitFailed;
    }
    if (foreign > 0) {
        PrintError(QStringLiteral("These images do not belong to the set hidden with this key:"));
        for (const QString &name : foreign_names) {
            PrintError(QStringLiteral("  ") + name);
        }
        return kExitFailed;
    }
    const int32_t count = static_cast<int32_t>(set.size());
    for (int32_t slot = 0; slot < count; ++slot) {
        if (!slot_of.contains(slot)) {
            PrintError(QStringLiteral("Image number %1 of the set is missing.").arg(slot + 1));
            return kExitFailed;
        }
    }
    Progress extracting(!o.quiet);
    extracting.setPhase(QStringLiteral("extracting"));
    for (int32_t slot = 0; slot < count; ++slot) {
        if (Engine().passBmpFileInfo(slot, set[slot_of.value(slot)].record) < 0) {
            extracting.stop();
            PrintError(QStringLiteral("Insufficient memory."));
            return kExitFailed;
        }
    }
    // Written beside the data file and moved over it only when something
    // was extracted, as the windows do.
    QString target = wf::SiblingTempPath(o.out);
    if (QFile::encodeName(target).size() > OMBRA_MAX_PATH) {
        target = o.out;
    }
    const int32_t init = Engine().operationInitialization(false, target, count, QString());
    if (init < 0) {
        extracting.stop();
        PrintError(QStringLiteral("Path to data file too long (is > 255 bytes)."));
        return kExitFailed;
    }
    SeedEngine(key);
    key.fill(QChar(0));
    int32_t r = Engine().extractMessage();
    if (target != o.out) {
        if (wf::FileExists(target) && r != OMBRA_E_NOTHING_EXTRACTED && r != 0 &&
            !wf::ReplaceFile(target, o.out, error)) {
            extracting.stop();
            PrintError(QStringLiteral("Unable to write the data file ") + o.out + kCrLf + error);
            wf::KillFile(target);
            return kExitFailed;
        }
        wf::KillFile(target);
    }
    extracting.stop();
    if (r < 0) {
        PrintError(ErrorLine(r));
        return kExitFailed;
    }
    PrintError(QStringLiteral("The data file has been extracted."));
    return kExitOk;
}

}  // namespace

int Run(const QStringList &args) {
    if (args.size() < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const QString command = args.at(1);
    if (command == QStringLiteral("-h") || command == QStringLiteral("--help") ||
        command == QStringLiteral("help")) {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (command != QStringLiteral("hide") && command != QStringLiteral("extract") &&
        command != QStringLiteral("info")) {
        return UsageError(QStringLiteral("unknown command '") + command + QStringLiteral("'."));
    }
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption image(QStringLiteral("image"), QString(), QStringLiteral("IMAGE"));
    const QCommandLineOption data(QStringLiteral("data"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption out_dir(QStringLiteral("out-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption key_file(QStringLiteral("key-file"), QString(), QStringLiteral("F"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("png|bmp"));
    const QCommandLineOption force(QStringLiteral("force"), QString());
    const QCommandLineOption overwrite(QStringLiteral("overwrite"), QString());
    const QCommandLineOption quiet(QStringLiteral("quiet"), QString());
    p.addOptions({help, image, data, out, out_dir, key_file, format, force, overwrite, quiet});
    QStringList rest = args;
    rest.removeAt(1);
    if (!p.parse(rest)) {
        return UsageError(p.errorText());
    }
    if (p.isSet(help)) {
        PrintUsage(stdout);
        return kExitOk;
    }
    Options o;
    o.command = command;
    o.images = p.values(image);
    o.data = p.value(data);
    o.out = p.value(out);
    o.out_dir = p.value(out_dir);
    o.key_file = p.value(key_file);
    o.format = p.value(format);
    o.force = p.isSet(force);
    o.overwrite = p.isSet(overwrite);
    o.quiet = p.isSet(quiet);
    ImageFormat ignored = ImageFormat::Png;
    if (!o.format.isEmpty() && !FormatFromText(o.format, ignored)) {
        return UsageError(QStringLiteral("--format is png or bmp."));
    }
    const QHash<int, QString> texts = LoadProgramTexts();
    if (command == QStringLiteral("info")) {
        if (!p.positionalArguments().isEmpty()) {
            o.images = p.positionalArguments() + o.images;
        }
        return Info(o, texts);
    }
    if (!p.positionalArguments().isEmpty()) {
        return UsageError(QStringLiteral("unexpected argument '") + p.positionalArguments().front() +
                          QStringLiteral("'."));
    }
    if (o.images.isEmpty()) {
        return UsageError(QStringLiteral("--image is required."));
    }
    if (command == QStringLiteral("hide")) {
        if (o.data.isEmpty()) {
            return UsageError(QStringLiteral("--data is required."));
        }
        if (o.out.isEmpty() == o.out_dir.isEmpty()) {
            return UsageError(QStringLiteral("give either --out or --out-dir."));
        }
        return o.images.size() == 1 ? RunWorkflow(o, texts) : HideSet(o, texts);
    }
    if (o.out.isEmpty()) {
        return UsageError(QStringLiteral("--out is required."));
    }
    return o.images.size() == 1 ? RunWorkflow(o, texts) : ExtractSet(o, texts);
}

}  // namespace velta::cli
