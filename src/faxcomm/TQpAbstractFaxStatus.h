#pragma once

#include <QObject>
#include <QPointer>

class TQpAbstractFax;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

// Base of fax status displays: it creates its display window when constructed (the
// derived class calls CreateDisplay), passes Position, Ctl3D and Visible on to it, and is
// told of every status report of its fax component through UpdateDisplay.
class TQpAbstractFaxStatus : public QObject {
    Q_OBJECT

public:
    explicit TQpAbstractFaxStatus(QObject* owner = nullptr) : QObject(owner) {}
    ~TQpAbstractFaxStatus() override = default;

    TPosition Position() const { return position_; }
    virtual void SetPosition(TPosition value) { position_ = value; }
    bool Ctl3D() const { return ctl3D_; }
    virtual void SetCtl3D(bool value) { ctl3D_ = value; }
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value) { visible_ = value; }
    TQpAbstractFax* Fax() const { return fax_.data(); }
    void SetFax(TQpAbstractFax* fax) { fax_ = fax; }

    virtual void CreateDisplay() = 0;
    virtual void DestroyDisplay() = 0;
    virtual void UpdateDisplay(bool first, bool last) = 0;

private:
    TPosition position_ = poScreenCenter;
    bool ctl3D_ = true;
    bool visible_ = false;
    QPointer<TQpAbstractFax> fax_;
};
