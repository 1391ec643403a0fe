#pragma once
// Run-time binding of the embedding engine (libombra.so beside the program).
//
// The program never links the engine: it loads it by file name and resolves
// the eight entry points by name, so a missing or stale library is reported
// as a result the program can show instead of a loader failure at start.
// One process-wide binding (Engine()) is shared by the windows and the
// command-line front end; the engine itself is not re-entrant, so all calls
// come from one thread.
#include <QByteArray>
#include <QLibrary>
#include <QString>
#include <cstdint>

#include "driver/bmp_record.h"
#include "ombra.h"

namespace velta {

// File name of the engine library on this platform.
QString EngineLibraryFileName();

enum class EngineBindStatus {
    Bound,              // library loaded, all eight functions resolved
    NotBound,           // bind() was never called, or unbind() was
    LibraryMissing,     // no library file in the folder
    LibraryNotLoadable, // the file exists but the loader refused it
    FunctionMissing,    // the library lacks one of the eight functions
};

struct EngineBindResult {
    EngineBindStatus status = EngineBindStatus::NotBound;
    QString library_path;      // the file that was (or would have been) loaded
    QString missing_function;  // FunctionMissing: the first name not found
    QString text;              // readable sentence for a message box or a log
    bool ok() const { return status == EngineBindStatus::Bound; }
};

// Returned by the int-valued wrappers when no engine is bound. It is not an
// engine code, so StatusMessage gives "Unknown error" for it.
constexpr int32_t kStatusEngineNotBound = -40;

class EngineBinding {
public:
    EngineBinding() = default;
    ~EngineBinding();
    EngineBinding(const EngineBinding &) = delete;
    EngineBinding &operator=(const EngineBinding &) = delete;

    // Loads the library from `folder` (empty: the program's folder,
    // QCoreApplication::applicationDirPath()). Binding the library already
    // bound changes nothing; any other earlier binding is released first; on
    // failure nothing stays bound.
    EngineBindResult bind(const QString &folder = QString());
    // Releases the library; call deallocateBuffers() first.
    void unbind();
    bool isBound() const { return result_.ok(); }
    const EngineBindResult &lastResult() const { return result_; }

    // Thin wrappers over the eight calls. Paths cross as QFile::encodeName
    // bytes that live only for the duration of the call.
    int32_t allocateBuffers();    // 1 on success, 0 on failure or unbound
    void deallocateBuffers();
    // Fills record.info from the file record.file_path names; leaves the
    // program's fields and record.info.file_path (null) as they were.
    int32_t getBmpFileInfo(BmpRecord &record, int32_t search_signature,
                           int32_t not_found_value);
    int32_t passBmpFileInfo(int32_t index, const BmpRecord &record);
    int32_t operationInitialization(bool hide, const QString &message_path,
                                    int32_t image_count, const QString &output_folder);
    // `key` must be exactly OMBRA_KEY_BYTES long; false (nothing seeded)
    // otherwise or when unbound.
    bool seedPrngs(const QByteArray &key);
    int32_t hideMessage();
    int32_t extractMessage();

private:
    QLibrary library_;
    EngineBindResult result_;
    ombra_allocate_buffers_fn allocate_buffers_ = nullptr;
    ombra_deallocate_buffers_fn deallocate_buffers_ = nullptr;
    ombra_get_bmp_file_info_fn get_bmp_file_info_ = nullptr;
    ombra_pass_bmp_file_info_fn pass_bmp_file_info_ = nullptr;
    ombra_operation_initialization_fn operation_initialization_ = nullptr;
    ombra_seed_prngs_fn seed_prngs_ = nullptr;
    ombra_hide_message_fn hide_message_ = nullptr;
    ombra_extract_message_fn extract_message_ = nullptr;
};

// The process-wide binding.
EngineBinding &Engine();

}  // namespace velta
