#include "app/TMainScreen.h"

#include "app/HintFilter.h"
#include "app/TJustOne.h"
#include "app/WindowUtils.h"
#include "common/Settings.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

TMainScreen::TMainScreen(bool startMinimized, QWidget* parent)
    : QMainWindow(parent), startMinimized_(startMinimized) {
    setObjectName("MainScreen");
    justOne_ = new TJustOne(this);
    SetMainForm(this);
    setWindowTitle(QStringLiteral("Quillpost "));
    resize(592, 383);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* browsePanel = new QWidget(central);
    browsePanel->setObjectName("BrowsePanel");
    layout->addWidget(browsePanel, 1);

    status_ = new QLabel(central);
    status_->setObjectName("status");
    status_->setFixedHeight(32);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    setCentralWidget(central);

    LoadSettings();
    HintFilter::Install()->SetHintsOn(Settings().hintsOn);
    SetHintTarget(status_);
}

TMainScreen::~TMainScreen() = default;

void TMainScreen::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_) {
        firstActivation_ = false;
        QTimer::singleShot(0, this, &TMainScreen::FormActivate);
    }
}

void TMainScreen::FormActivate() {
    RestoreFormPlacement(this);
    if (startMinimized_) {
        showMinimized();
    } else {
        show();
        raise();
        activateWindow();
    }
}
