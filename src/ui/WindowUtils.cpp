#include "ui/WindowUtils.h"

#include "ui/MessageBoxScript.h"
#include "common/IniFile.h"
#include "common/Settings.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

QPointer<QWidget> mainForm;
QPointer<QLabel> hintTarget;

QScreen* ScreenOf(const QWidget* form) {
    if (form && form->screen()) {
        return form->screen();
    }
    return QGuiApplication::primaryScreen();
}

bool Ask(const QString& text, const QString& caption, QMessageBox::StandardButton defaultButton) {
    if (auto answer = MessageBoxScript::Take(caption, text)) {
        return *answer;
    }
    return QMessageBox::question(QApplication::activeWindow(), caption, text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 defaultButton) == QMessageBox::Yes;
}

} // namespace

QWidget* MainForm() {
    return mainForm.data();
}

void SetMainForm(QWidget* form) {
    mainForm = form;
}

void InfoBox(const QString& text) {
    const QString caption = QStringLiteral("Information");
    if (MessageBoxScript::Take(caption, text)) {
        return;
    }
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool AskYesNo(const QString& text, const QString& caption) {
    return Ask(text, caption, QMessageBox::Yes);
}

bool AskYesNoDefaultNo(const QString& text, const QString& caption) {
    return Ask(text, caption, QMessageBox::No);
}

void CenterForm(QWidget* form) {
    QWidget* main = MainForm();
    const QSize size = form->frameGeometry().size();
    if (main && form != main && !main->isMaximized()) {
        const QRect frame = main->frameGeometry();
        form->move(frame.left() + (frame.width() - size.width()) / 2,
                   frame.top() + (frame.height() - size.height()) / 2);
    } else {
        const QRect screen = ScreenOf(form)->geometry();
        form->move(screen.left() + (screen.width() - size.width()) / 2,
                   screen.top() + (screen.height() - size.height()) / 2);
    }
    if (form->windowFlags() & Qt::WindowMaximizeButtonHint) {
        form->setWindowFlag(Qt::WindowSystemMenuHint, true);
    }
}

QString PlacementSection(const QWidget* form) {
    QString section = QString::fromLatin1(form->metaObject()->className()) + "_Placement";
    const int pixelsPerInch = qRound(ScreenOf(form)->logicalDotsPerInch());
    if (pixelsPerInch > 96) {
        section += QString::number(pixelsPerInch);
    }
    return section;
}

void SaveFormPlacement(QWidget* form) {
    const std::string section = PlacementSection(form).toStdString();
    const QRect normal =
        form->isMaximized() || form->isMinimized() ? form->normalGeometry() : form->geometry();
    IniFile ini(SettingsFileName());
    ini.WriteInteger(section, "Left", normal.left());
    ini.WriteInteger(section, "Top", normal.top());
    ini.WriteInteger(section, "Right", normal.left() + normal.width());
    ini.WriteInteger(section, "Bottom", normal.top() + normal.height());
    ini.WriteBool(section, "Maximized", form->isMaximized());
    ini.Save();
}

void RestoreFormPlacement(QWidget* form) {
    const std::string section = PlacementSection(form).toStdString();
    const IniFile ini(SettingsFileName());
    int left = ini.ReadInteger(section, "Left", 0);
    int top = ini.ReadInteger(section, "Top", 0);
    int right = ini.ReadInteger(section, "Right", 0);
    int bottom = ini.ReadInteger(section, "Bottom", 0);
    const bool maximized = ini.ReadBool(section, "Maximized", form->isMaximized());
    if (bottom != 0) {
        const QRect screen = ScreenOf(form)->geometry();
        if (right > screen.width()) {
            left += screen.width() - right;
            right = screen.width();
        }
        if (bottom > screen.height()) {
            top += screen.height() - bottom;
            bottom = screen.height();
        }
        form->setGeometry(left, top, right - left, bottom - top);
    } else {
        CenterForm(form);
    }
    if (maximized) {
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
    }
    SaveFormPlacement(form);
}

QLabel* HintTarget() {
    return hintTarget.data();
}

void SetHintTarget(QLabel* label) {
    hintTarget = label;
}

namespace {

// Makes a label the hint target whenever its dialog is shown or activated.
class HintTargetWatcher : public QObject {
public:
    HintTargetWatcher(QWidget* dialog, QLabel* label) : QObject(dialog), label_(label) {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) {
            SetHintTarget(label_);
        }
        return false;
    }

private:
    QPointer<QLabel> label_;
};

} // namespace

HintTargetGuard::HintTargetGuard(QWidget* dialog, QLabel* label) : previous_(HintTarget()) {
    new HintTargetWatcher(dialog, label); // owned by the dialog
    SetHintTarget(label);
}

HintTargetGuard::~HintTargetGuard() {
    SetHintTarget(previous_);
}
