#include "dialogs/TCheckFaxClassForm.h"

#include "faxcomm/ComPortHelpers.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpSendFax.h"
#include "ui/KeyboardAccess.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 335;
constexpr int ClientHeight = 248;
constexpr int StatusWidth = 308;
constexpr int StatusHeight = 88;

QLabel* ClassLine(const QString& text, const QString& objectName, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setIndent(12);
    return label;
}

QString SupportText(bool supported) {
    return supported ? QStringLiteral("Supported") : QStringLiteral("Not Supported");
}

} // namespace

TCheckFaxClassForm::TCheckFaxClassForm(TQpComPort* port, TQpSendFax* fax, int portNumber,
                                       QWidget* parent)
    : QDialog(parent), port_(port), fax_(fax), portNumber_(portNumber) {
    setObjectName("CheckFaxClassForm");
    setWindowTitle(QStringLiteral("Finding Fax Class...Please wait"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Fax Classes:"), this);
    heading->setObjectName("ClassesLabel");
    layout->addWidget(heading);
    class1_ = ClassLine(QStringLiteral("Class 1 :"), "Class1Line", this);
    class2_ = ClassLine(QStringLiteral("Class 2 :"), "Class2Line", this);
    class20_ = ClassLine(QStringLiteral("Class 2.0 :"), "Class20Line", this);
    layout->addWidget(class1_);
    layout->addWidget(class2_);
    layout->addWidget(class20_);
    status_ = new QLabel(QStringLiteral("Testing Fax Classes...please wait."), this);
    status_->setObjectName("StatusLabel");
    status_->setWordWrap(true);
    status_->setFixedSize(StatusWidth, StatusHeight);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(status_);
    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setObjectName("OkButton");
    ok_->hide();
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    KeyboardAccess::Prepare(this, {ok_});
    setMinimumSize(ClientWidth, ClientHeight);
}

void TCheckFaxClassForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, &TCheckFaxClassForm::Check);
    }
}

void TCheckFaxClassForm::reject() {
    // Escape works as "Ok", once there is an "Ok".
    if (finished_) {
        QDialog::reject();
    }
}

void TCheckFaxClassForm::Check() {
    recommendedClass_ = -1;
    recommendedName_.clear();
    try {
        status_->setText(QStringLiteral("Opening Com Port...please wait"));
        QApplication::processEvents();
        port_->SetComNumber(static_cast<std::uint16_t>(portNumber_));
        QString message;
        if (!OpenComPort(*port_, message)) {
            status_->setText(message);
            ShowUnknown();
        } else {
            ResetModem(*port_);
            const QString result = QueryClasses();
            if (result != "OK") {
                status_->setText(result);
                ShowUnknown();
            } else {
                ShowSupport();
            }
        }
    } catch (const std::exception& error) {
        status_->setText(QString::fromUtf8(error.what()));
        ShowUnknown();
    }
    Finish();
}

QString TCheckFaxClassForm::QueryClasses() {
    status_->setText(QStringLiteral("Querying modem Fax Class support..."));
    QApplication::processEvents();
    qpfax::FaxClassSet classes = 0;
    bool failed = false;
    try {
        classes = fax_->QueryClasses();
    } catch (const std::exception&) {
        failed = true;
    }
    status_->clear();
    QApplication::processEvents();
    supports1_ = (classes & qpfax::ClassBit(qpfax::fcClass1)) != 0;
    supports2_ = (classes & qpfax::ClassBit(qpfax::fcClass2)) != 0;
    supports20_ = (classes & qpfax::ClassBit(qpfax::fcClass2_0)) != 0;
    if (failed || !(supports1_ || supports2_ || supports20_)) {
        return "Unable to determine Fax Class support from modem on Com " +
               QString::number(portNumber_);
    }
    return QStringLiteral("OK");
}

void TCheckFaxClassForm::ShowUnknown() {
    recommendedClass_ = -1;
    recommendedName_.clear();
    class1_->setText(QStringLiteral("Class 1   : unknown"));
    class2_->setText(QStringLiteral("Class 2   : unknown"));
    class20_->setText(QStringLiteral("Class 2.0 : unknown"));
}

void TCheckFaxClassForm::ShowSupport() {
    class20_->setText("Class 2.0 : " + SupportText(supports20_));
    class2_->setText("Class 2   : " + SupportText(supports2_));
    class1_->setText("Class 1   : " + SupportText(supports1_));
    if (supports20_) {
        recommendedClass_ = 2;
        recommendedName_ = QStringLiteral("Class 2.0");
        QFont bold = class20_->font();
        bold.setBold(true);
        class20_->setFont(bold);
    } else if (supports2_) {
        recommendedClass_ = 1;
        recommendedName_ = QStringLiteral("Class 2");
        class2_->setText(class2_->text() + " (recommended)");
    } else {
        recommendedClass_ = 0;
        recommendedName_ = QStringLiteral("Class 1");
        class1_->setText(class1_->text() + " (recommended)");
    }
    QApplication::processEvents();
    status_->setText("Try using the recommended Fax Class (" + recommendedName_ +
                     ") or auto detect. " + "If you experience problems, try Class 1." + "\n" +
                     "\n" +
                     "(note: US Robotics users should read the help section on troubleshooting)");
}

void TCheckFaxClassForm::Finish() {
    QApplication::beep();
    ClosePort();
    QApplication::processEvents();
    ok_->show();
    ok_->setFocus();
    setWindowTitle(QStringLiteral("Check Fax Class"));
    finished_ = true;
}

void TCheckFaxClassForm::ClosePort() {
    try {
        port_->SetOpen(false);
    } catch (const std::exception&) {
        // Nothing more to do for a port that will not close.
    }
}
