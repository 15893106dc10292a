#pragma once

#include <QPointer>

#include "faxcomm/TQpAbstractFaxStatus.h"

class TStandardFaxDisplay;

// The standard fax status display: a "Fax Status" window shown while a fax runs.
class TQpFaxStatus final : public TQpAbstractFaxStatus {
    Q_OBJECT

public:
    explicit TQpFaxStatus(QObject* owner = nullptr);
    ~TQpFaxStatus() override;

    void SetPosition(TPosition value) override;
    void SetVisible(bool value) override;
    void CreateDisplay() override;
    void DestroyDisplay() override;
    // First shows the window, Last hides it; otherwise (and with First) it is refreshed.
    void UpdateDisplay(bool first, bool last) override;
    TStandardFaxDisplay* Display() const { return display_; }

private:
    void Place();

    QPointer<TStandardFaxDisplay> display_;
};
