#pragma once

#include "faximage/viewer/TQpAbstractFaxPrinterStatus.h"

#include <QPointer>

class TStandardFaxPrinterStatusDisplay;

// Where the status form appears.
enum TStatusPosition { poDesigned, poScreenCenter, poOwnerFormCenter };

// The fax printer's standard status display: creates the "Print Status" form on the first
// update and keeps its position and visibility in step with its own properties. The
// form's "Abort" button aborts the printer's job.
class TQpFaxPrinterStatus final : public TQpAbstractFaxPrinterStatus {
    Q_OBJECT
public:
    explicit TQpFaxPrinterStatus(QObject* owner = nullptr);
    ~TQpFaxPrinterStatus() override;

    TStatusPosition Position() const { return position_; }
    void SetPosition(TStatusPosition position);
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool ctl3D) { ctl3D_ = ctl3D; }
    bool Visible() const override;
    void SetVisible(bool visible);

    void UpdateDisplay(bool first, bool last) override;

    // The form, once the first update created it.
    TStandardFaxPrinterStatusDisplay* Display() const;

private:
    void CreateDisplay();
    void PlaceDisplay();

    TStatusPosition position_ = poScreenCenter;
    bool ctl3D_ = true;
    QPointer<TStandardFaxPrinterStatusDisplay> display_;
};
