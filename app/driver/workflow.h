#pragma once
// What the operation workflow reads and writes, independent of any window:
// the entries a person made, the operation's program-wide state, and the
// host that owns the report pane and the window's refreshes. The main
// window is one host; the command-line front end is another:
//
//   Engine().bind(); Engine().allocateBuffers();
//   OperationState state; state.velta_folder = CreateWorkingFolder("VELTA");
//   MyHost host;            // entries, key text, report, program texts
//   ScriptedUiPort ui;      // or a console port that asks on the terminal
//   PerformTheOperation(host, ui, state);   // validation, run, pauses
//   RemoveWorkingFolders(state.velta_folder); Engine().deallocateBuffers();
#include <QString>
#include <cstdint>

#include "driver/bmp_record.h"

namespace velta {

class UiPort;

enum class ImageFormat { Png, Bmp };
QString FormatName(ImageFormat format);  // "PNG" or "BMP"

struct Entries {
    bool hide = true;
    ImageFormat format = ImageFormat::Png;
    QString message_file;    // txbMessageFile
    QString original_image;  // txbImageFile(0)
    QString stego_image;     // txbImageFile(1)
    bool warn_on_overwrite = true;
    bool display_in_browser = true;
    bool open_after_extraction = false;
};

// The operation's state that outlives one call.
struct OperationState {
    BmpRecord bmp_info;  // bmpInfo(0)
    bool image_suitable = false;
    bool stego_image_readable = false;
    int32_t data_file_length = 0;
    int64_t total_color_bytes = 0;
    QString velta_folder;  // working folder, ends in a separator
    double min_randomness = 0.07;
};

class WorkflowHost {
public:
    virtual ~WorkflowHost() = default;
    virtual Entries entries() const = 0;
    // The key window's text; never stored by the workflow.
    virtual QString keyText() const = 0;
    virtual QString reportText() const = 0;
    virtual void setReportText(const QString &text) = 0;
    virtual QString programText(int16_t number) const = 0;
    virtual void gotFocus() {}
    // The success report (and, after a hide, the browser page).
    virtual void displayReport() {}
    virtual void enableControls(bool /*enable*/) {}
    virtual void saveModeFields() {}
    // Opens a document with its associated application; false when refused.
    virtual bool openDocument(const QString & /*path*/) { return false; }
};

inline const QString kCrLf = QStringLiteral("\r\n");

// Appends `line` and a line break to the host's report.
void AppendReportLine(WorkflowHost &host, const QString &line);

}  // namespace velta
