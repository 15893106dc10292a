#pragma once

#include <QDialog>

class QLabel;

// "About Quillpost": a picture, the program's version and the platform it was built
// for, and an OK button. Stays on top of the other windows.
class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* Version() const { return version_; }
    QLabel* Platform() const { return platform_; }

    static QString VersionText();
    static QString PlatformText();

private:
    QLabel* version_;
    QLabel* platform_;
};
