#pragma once

#include <memory>

#include <QDialog>
#include <QList>
#include <QString>

class HintTargetGuard;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class TQpFaxPrinter;
class TQpFaxPrinterStatus;
class TQpFaxViewer;

// The "Fax Viewer " window: shows one APF fax file page by page through the viewer
// control, with page navigation, a zoom ladder, rotation, a page counter and printing
// through the fax printer. The caller sets the file (and the printer's header caption)
// before showing it; the file is loaded at the first activation.
class TFaxViewer final : public QDialog {
    Q_OBJECT
public:
    explicit TFaxViewer(QWidget* parent = nullptr);
    ~TFaxViewer() override;
    Q_DISABLE_COPY_MOVE(TFaxViewer)

    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    const QString& FileName() const { return fileName_; }

    TQpFaxViewer* FaxViewer() const { return faxViewer_; }
    TQpFaxPrinter* FaxPrinter() const { return faxPrinter_; }
    TQpFaxPrinterStatus* PrinterStatus() const { return printerStatus_; }
    int Zoom() const { return zoom_; }

    // The zoom ladder, smallest first.
    static const QList<int>& ZoomLadder();
    // The zoom (in percent, on the ladder) that shows a page `pageWidth` pixels wide in a
    // viewer `viewerWidth` pixels wide: 100 when it fits, else the estimate
    // viewerWidth / pageWidth x 150 snapped to the ladder.
    static int InitialZoom(int viewerWidth, int pageWidth);
    static int SnapToLadder(int estimate);

public slots:
    void ApplyZoom(int zoom);
    void ZoomIn();
    void ZoomOut();
    void ApplyRotation(int rotation);
    void PrintAll();
    void PrintCurrentPage();
    void PrinterSetup();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void BuildTopBar(class QVBoxLayout* layout);
    void BuildBottomBar(class QVBoxLayout* layout);
    void BuildViewMenu(class QMenuBar* menuBar);
    void BuildComponents();
    QToolButton* AddPictureButton(class QHBoxLayout* bar, const QString& name, int icon,
                                  const QString& hint);
    QPushButton* AddTextButton(class QHBoxLayout* bar, const QString& name, const QString& caption,
                               const QString& hint);
    void LoadFax();
    void ShowPageCounter();
    void ShowViewerError(int code);
    void PrintRange(int first, int last);
    void CheckOnly(const QList<QAction*>& group, QAction* chosen);
    void SavePlacement();
    void ShowHelp();

    QString fileName_;
    int zoom_ = 100;
    bool firstActivation_ = true;
    bool placementSaved_ = false;
    TQpFaxViewer* faxViewer_ = nullptr;
    TQpFaxPrinter* faxPrinter_ = nullptr;
    TQpFaxPrinterStatus* printerStatus_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QList<QToolButton*> navigationButtons_;
    QToolButton* printerSetupButton_ = nullptr;
    QToolButton* printButton_ = nullptr;
    QList<QAction*> zoomActions_;
    QList<QAction*> rotationActions_;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
