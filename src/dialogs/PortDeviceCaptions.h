#pragma once

class QButtonGroup;
class QString;

// Shows beside each port choice of a "Com1" .. "Com6" radio group the device it opens
// (USB maker and model, or the UART's name), with the device path in its hint. Button i
// of the group stands for port number i + 1.
void ShowPortDevices(QButtonGroup* ports, int captionWidth, const QString& hint);
