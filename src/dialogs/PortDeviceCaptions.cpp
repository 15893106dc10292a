#include "dialogs/PortDeviceCaptions.h"

#include "common/Settings.h"
#include "dialogs/ModemSettingHints.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/TestLine.h"
#include "ui/TButtonBar.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QString>

#include <algorithm>

QStringList PortChoiceItems() {
    return {
        "Com1", "Com2", "Com3", "Com4", "Com5", "Com6", QString::fromLatin1(qpcomm::TestLineLabel)};
}

void ShowPortDevices(QButtonGroup* ports, int captionWidth, const QString& hint) {
    if (QAbstractButton* testLine = ports->button(TestLinePortIndex)) {
        testLine->setAccessibleName(testLine->text());
        TButtonBar::SetHint(testLine, ModemSettingHints::TestLine);
        testLine->setAccessibleDescription(testLine->statusTip());
    }
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
