#include "driver/engine_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velta {

namespace {

// A path as the engine sees it. Null when the text holds a NUL character,
// which would silently name another file.
QByteArray EnginePath(const QString &path)
{
    if (path.contains(QChar(u'\0'))) return QByteArray();
    return QFile::encodeName(path);
}

template <typename Fn>
bool Resolve(QLibrary &library, const char *name, Fn &target)
{
    target = reinterpret_cast<Fn>(library.resolve(name));
    return target != nullptr;
}

}  // namespace

QString EngineLibraryFileName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("ombra.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("libombra.dylib");
#else
    return QStringLiteral("libombra.so");
#endif
}

EngineBinding::~EngineBinding()
{
    // The library stays mapped until the process ends: unloading it during
    // static destruction would race other destructors that may still call in.
}

EngineBindResult EngineBinding::bind(const QString &folder)
{
    const QString dir = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    EngineBindResult r;
    r.library_path = QDir(dir).filePath(EngineLibraryFileName());
    // Binding the same library again keeps the engine's state (its buffers).
    if (isBound() && result_.library_path == r.library_path) return result_;
    unbind();
    const QString shown = QDir::toNativeSeparators(r.library_path);

    if (!QFileInfo(r.library_path).isFile()) {
        r.status = EngineBindStatus::LibraryMissing;
        r.text = QStringLiteral("The engine library %1 was not found.").arg(shown);
        result_ = r;
        return r;
    }
    library_.setFileName(r.library_path);
    if (!library_.load()) {
        r.status = EngineBindStatus::LibraryNotLoadable;
        r.text = QStringLiteral("The engine library %1 could not be loaded: %2.")
                     .arg(shown, library_.errorString());
        result_ = r;
        return r;
    }

    const char *missing = nullptr;
    if (!Resolve(library_, "allocate_buffers", allocate_buffers_)) missing = "allocate_buffers";
    else if (!Resolve(library_, "deallocate_buffers", deallocate_buffers_)) missing = "deallocate_buffers";
    else if (!Resolve(library_, "get_bmp_file_info", get_bmp_file_info_)) missing = "get_bmp_file_info";
    else if (!Resolve(library_, "pass_bmp_file_info", pass_bmp_file_info_)) missing = "pass_bmp_file_info";
    else if (!Resolve(library_, "operation_initialization", operation_initialization_))
        missing = "operation_initialization";
    else if (!Resolve(library_, "seed_prngs", seed_prngs_)) missing = "seed_prngs";
    else if (!Resolve(library_, "hide_message", hide_message_)) missing = "hide_message";
    else if (!Resolve(library_, "extract_message", extract_message_)) missing = "extract_message";

    if (missing != nullptr) {
        unbind();
        r.status = EngineBindStatus::FunctionMissing;
        r.missing_function = QString::fromLatin1(missing);
        r.text = QStringLiteral("The engine library %1 lacks the function %2.")
                     .arg(shown, r.missing_function);
        result_ = r;
        return r;
    }
    r.status = EngineBindStatus::Bound;
    r.text = QStringLiteral("The engine library %1 is loaded.").arg(shown);
    result_ = r;
    return r;
}

void EngineBinding::unbind()
{
    allocate_buffers_ = nullptr;
    deallocate_buffers_ = nullptr;
    get_bmp_file_info_ = nullptr;
    pass_bmp_file_info_ = nullptr;
    operation_initialization_ = nullptr;
    seed_prngs_ = nullptr;
    hide_message_ = nullptr;
    extract_message_ = nullptr;
    if (library_.isLoaded()) library_.unload();
    result_ = EngineBindResult();
    result_.text = QStringLiteral("The engine library is not loaded.");
}

int32_t EngineBinding::allocateBuffers()
{
    return isBound() ? allocate_buffers_() : 0;
}

void EngineBinding::deallocateBuffers()
{
    if (isBound()) deallocate_buffers_();
}

int32_t EngineBinding::getBmpFileInfo(BmpRecord &record, int32_t search_signature,
                                      int32_t not_found_value)
{
    if (!isBound()) return kStatusEngineNotBound;
    const QByteArray path = EnginePath(record.file_path);
    if (path.isEmpty()) return OMBRA_BMP_CANNOT_OPEN;
    BmpFileInfo info = record.info;
    info.file_path = path.constData();
    const int32_t status = get_bmp_file_info_(&info, search_signature, not_found_value);
    info.file_path = nullptr;
    record.info = info;
    return status;
}

int32_t EngineBinding::passBmpFileInfo(int32_t index, const BmpRecord &record)
{
    if (!isBound()) return kStatusEngineNotBound;
    const QByteArray path = EnginePath(record.file_path);
    BmpFileInfo info = record.info;
    // An unusable path is registered as empty: the run then fails to open
    // the image (-4) instead of opening a file of another name.
    info.file_path = path.constData();
    return pass_bmp_file_info_(index, &info);
}

int32_t EngineBinding::operationInitialization(bool hide, const QString &message_path,
                                               int32_t image_count,
                                               const QString &output_folder)
{
    if (!isBound()) return kStatusEngineNotBound;
    const QByteArray message = EnginePath(message_path);
    const QByteArray folder = EnginePath(output_folder);
    return operation_initialization_(hide ? 1 : 0, message.constData(), image_count,
                                     folder.constData());
}

bool EngineBinding::seedPrngs(const QByteArray &key)
{
    if (!isBound() || key.size() != OMBRA_KEY_BYTES) return false;
    seed_prngs_(reinterpret_cast<const unsigned char *>(key.constData()));
    return true;
}

int32_t EngineBinding::hideMessage()
{
    return isBound() ? hide_message_() : kStatusEngineNotBound;
}

int32_t EngineBinding::extractMessage()
{
    return isBound() ? extract_message_() : kStatusEngineNotBound;
}

EngineBinding &Engine()
{
    static EngineBinding engine;
    return engine;
}

}  // namespace velta
