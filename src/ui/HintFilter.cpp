#include "ui/HintFilter.h"

#include "ui/WindowUtils.h"

#include <QApplication>
#include <QLabel>
#include <QProxyStyle>
#include <QStatusTipEvent>

namespace {

HintFilter* instance = nullptr;

// Sets the pop-up hint delay without replacing the platform's look.
class HintPauseStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) {
            return HintFilter::HintPauseMs;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

HintFilter::HintFilter(QObject* parent) : QObject(parent) {}

HintFilter* HintFilter::Install() {
    if (!instance) {
        instance = new HintFilter(qApp);
        qApp->installEventFilter(instance);
        QApplication::setStyle(new HintPauseStyle(QApplication::style()->name()));
        connect(qApp, &QApplication::focusChanged, instance,
                [](QWidget*, QWidget* now) { instance->ShowFocusHint(now); });
    }
    return instance;
}

void HintFilter::ShowFocusHint(const QWidget* focused) const {
    QLabel* target = HintTarget();
    if (!hintsOn_ || !focused || !target || focused->window() != target->window()) {
        return;
    }
    const QString hint = focused->statusTip();
    if (!hint.isEmpty()) {
        target->setText(hint);
    }
}

HintFilter* HintFilter::Instance() {
    return instance;
}

void HintFilter::SetHintsOn(bool on) {
    hintsOn_ = on;
}

bool HintFilter::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::StatusTip:
        if (hintsOn_) {
            if (QLabel* target = HintTarget()) {
                target->setText(static_cast<QStatusTipEvent*>(event)->tip());
            }
        }
        // The hint target replaces the status bar; nothing else needs the event.
        return true;
    case QEvent::ToolTip:
        return !hintsOn_;
    default:
        return false;
    }
}
