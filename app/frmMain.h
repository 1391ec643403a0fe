#pragma once
// The main window: the controls of the hide/extract workflow, start-up,
// the state refreshes, and quitting. The workflow itself (validation,
// inspection, the run) is in driver/; this window is one host for it.
#include <QHash>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "driver/workflow.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace velta {

class UiPort;
class frmKey;

class frmMain : public QWidget, public WorkflowHost {
    Q_OBJECT
public:
    explicit frmMain(UiPort &ui, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start-up sequence; false when the program must end (the reason
    // has been shown).
    bool Form_Load();

    // Public routines other windows and the workflow call.
    void GotFocus();
    void SetTheFocus();
    void EnableControls(bool enable);
    void OutputIfNotAlready(const QString &text);
    void DisplayReport();
    // Quitting; false when the user chose to stay.
    bool cmdQuit_Click();

    // WorkflowHost
    Entries entries() const override;
    QString keyText() const override;
    QString reportText() const override;
    void setReportText(const QString &text) override;
    QString programText(int16_t number) const override;
    void gotFocus() override { GotFocus(); }
    void displayReport() override { DisplayReport(); }
    void enableControls(bool enable) override { EnableControls(enable); }
    void saveModeFields() override { SaveModeFields(); }
    bool openDocument(const QString &path) override;

    // Opens documents and web pages; tests replace it to record instead.
    std::function<bool(const QString &)> launcher;

    // Controls (object name = member name; arrays as name(index)).
    QLabel *lblFileFormat = nullptr;
    QFrame *fraFileFormat = nullptr;
    QRadioButton *optPNG = nullptr;
    QRadioButton *optBMP = nullptr;
    QLabel *lblSelectOperation = nullptr;
    QRadioButton *optHide = nullptr;
    QRadioButton *optExtract = nullptr;
    QCheckBox *chkWarnOnOverwrite = nullptr;
    QCheckBox *chkDisplayInBrowser = nullptr;
    QFrame *fraBrowserDisplay = nullptr;
    QRadioButton *optHorizontal = nullptr;
    QRadioButton *optVertical = nullptr;
    QPushButton *cmdMessageFile = nullptr;
    QLineEdit *txbMessageFile = nullptr;
    QPushButton *cmdClearMessageFile = nullptr;
    std::array<QPushButton *, 2> cmdImageFile{};
    std::array<QLineEdit *, 2> txbImageFile{};
    std::array<QPushButton *, 2> cmdClearImageFile{};
    QPushButton *cmdKey = nullptr;
    QPushButton *cmdPerformTheOperation = nullptr;
    std::array<QPushButton *, 2> cmdSaveState{};
    QPlainTextEdit *txbReport = nullptr;
    QPushButton *cmdClearReport = nullptr;
    QPushButton *cmdCopyToClipboard = nullptr;
    QPushButton *cmdHelp = nullptr;
    QPushButton *cmdQuit = nullptr;
    QCheckBox *chkOpenAfterExtraction = nullptr;
    QCheckBox *chkDisplayImageInfo = nullptr;
    QLabel *lblCopyrightNotice = nullptr;
    QLabel *lblBrannockWorks = nullptr;
    QLabel *lblBW_URL = nullptr;
    QLabel *lblOnlineDocumentation = nullptr;
    QTimer *Timer1 = nullptr;
    frmKey *keyWindow = nullptr;

    // Window state.
    bool blnStartupCompleted = false;
    int16_t intTPPY = 15;
    double dblMinRandomness = 0.07;
    QString strVeltaFolder;
    int16_t intMinReportLengthForCopy = 40;
    uint32_t lngBackColor = 0;
    QString strSettingsFile;
    QString strImageFormat = QStringLiteral("PNG");
    QString strEmptyFileTip;
    QString strProgramTextFile;
    std::array<std::array<QString, 4>, 2> astrModeFields{};
    bool blnHide = true;
    bool blnExtract = false;
    OperationState state;

    static constexpr uint32_t kDefaultWindowColour = 0xB9EEA8;  // RGB(185, 238, 168)
    static constexpr uint32_t kGreyWindowColour = 0xE0E0E0;

    // Seams for the settings files and help; the browser page after a hide.
    // True when the file was saved (index 0) or loaded (1); false when the
    // dialog was cancelled, an overwrite declined or the save failed.
    bool cmdSaveState_Click(int index);
    bool SaveSettings();
    // Applies the file line by line; reports an invalid file after applying
    // what could be read. False when it was invalid.
    bool LoadSettings(const QString &path);
    // Shows the two images after a hide; false when a message was shown.
    bool DisplayImagesInBrowser();
    void cmdHelp_Click();

    // Handlers (public so a front end or a test can reach them).
    void optHide_Click();
    void optExtract_Click();
    void optPNG_Click();
    void optBMP_Click();
    void ApplyOperationMode();
    void SaveModeFields();
    void RestoreModeFields();
    void cmdMessageFile_Click();
    void cmdImageFile_Click(int index);
    void cmdClearMessageFile_Click();
    void cmdClearImageFile_Click(int index);
    void cmdKey_Click();
    void cmdPerformTheOperation_Click();
    void cmdClearReport_Click();
    void cmdCopyToClipboard_Click();
    void Timer1_Timer();
    void UpdateFileToolTips();
    void Form_DblClick();
    void WipeKey();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void InitialiseDefaults();
    void SetWindowColour(uint32_t colour);
    void SetFontName(const QString &name, bool text_boxes, bool buttons);
    void SetControlsEnabled(bool enabled, bool frames, bool text_boxes, bool labels);
    void txbReport_Change();
    void ReleaseResources();
    bool LoadProgramText();
    void ShowFormat(const QString &format);

    UiPort &ui_;
    bool quitting_ = false;
    bool released_ = false;
    bool in_report_change_ = false;
};

}  // namespace velta
