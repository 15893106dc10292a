#pragma once

#include <QStringList>

class QButtonGroup;
class QString;

// The items of a port radio group: "Com1" .. "Com6", then the built-in test line (port
// number 7, see TestLinePortIndex).
QStringList PortChoiceItems();

// Shows beside each port choice of a "Com1" .. "Com6" radio group the device it opens
// (USB maker and model, or the UART's name), with the device path in its hint; the
// seventh choice, when the group has it, is the test line with its own hint. Button i of
// the group stands for port number i + 1.
void ShowPortDevices(QButtonGroup* ports, int captionWidth, const QString& hint);
