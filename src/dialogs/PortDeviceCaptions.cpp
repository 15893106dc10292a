#include "dialogs/PortDeviceCaptions.h"

#include "faxcomm/core/PortDeviceName.h"
#include "ui/TButtonBar.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QString>

#include <algorithm>

void ShowPortDevices(QButtonGroup* ports, int captionWidth, const QString& hint) {
    const std::vector<qpcomm::PortChoice> choices = qpcomm::PortChoices();
    for (const qpcomm::PortChoice& choice : choices) {
        QAbstractButton* radio = ports->button(choice.comNumber - 1);
        if (!radio) {
            continue;
        }
        const QString caption = QString::fromStdString(choice.Caption());
        const int room = std::max(radio->width(), captionWidth);
        // A maker's "&" is text, not a mnemonic.
        QString shown = radio->fontMetrics().elidedText(caption, Qt::ElideRight, room);
        radio->setText(shown.replace('&', QStringLiteral("&&")));
        radio->setAccessibleName(caption);
        const QString device = choice.device.empty() ? QStringLiteral("no device")
                                                     : QString::fromStdString(choice.device);
        TButtonBar::SetHint(radio, hint + " (" + device + ")");
        radio->setAccessibleDescription(radio->statusTip());
    }
}
