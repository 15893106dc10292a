#include "faxcomm/TQpFaxStatus.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "faxcomm/TQpAbstractFax.h"
#include "faxcomm/TStandardFaxDisplay.h"

TQpFaxStatus::TQpFaxStatus(QObject* owner) : TQpAbstractFaxStatus(owner) {
    CreateDisplay();
    // A fax component of the same owner without a display takes this one.
    if (owner != nullptr) {
        for (auto* fax : owner->findChildren<TQpAbstractFax*>()) {
            if (fax->StatusDisplay() == nullptr) {
                fax->SetStatusDisplay(this);
                break;
            }
        }
    }
}

TQpFaxStatus::~TQpFaxStatus() {
    DestroyDisplay();
}

void TQpFaxStatus::CreateDisplay() {
    // The display belongs to its owner's window, so that it comes up in front of that
    // window and its Cancel button works while that window is modal (the send window).
    auto* ownerWidget = qobject_cast<QWidget*>(parent());
    display_ = new TStandardFaxDisplay(ownerWidget ? ownerWidget->window() : nullptr);
    display_->SetFax(Fax());
    Place();
}

void TQpFaxStatus::DestroyDisplay() {
    delete display_.data();
    display_ = nullptr;
}

void TQpFaxStatus::Place() {
    if (!display_ || Position() != poScreenCenter) {
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        display_->move(area.center() - QPoint(display_->width() / 2, display_->height() / 2));
    }
}

void TQpFaxStatus::SetPosition(TPosition value) {
    TQpAbstractFaxStatus::SetPosition(value);
    Place();
}

void TQpFaxStatus::SetVisible(bool value) {
    TQpAbstractFaxStatus::SetVisible(value);
    if (display_) {
        display_->setVisible(value);
    }
}

void TQpFaxStatus::UpdateDisplay(bool first, bool last) {
    if (!display_) {
        return;
    }
    if (first) {
        display_->SetFax(Fax());
        Place();
        display_->show();
    }
    if (last) {
        display_->hide();
        return;
    }
    display_->UpdateValues();
}
