#pragma once

#include <QPushButton>

#include <functional>

class QMenu;
class TQpRichText;

// The zoom button of an editor window: its caption is the zoom of the editor it serves
// followed by "%", and it drops down "70%", "80%", "100%", the current zoom checked.
// Choosing an item sets that zoom on the editor the window says is current.
class TZoomButton final : public QPushButton {
    Q_OBJECT

public:
    TZoomButton(std::function<TQpRichText*()> currentEditor, QWidget* parent);

    // Shows the zoom of `editor` as the caption.
    void ShowZoomOf(const TQpRichText* editor);
    QMenu* ZoomMenu() const { return menu_; }
    // The zoom menu's choice, as if the item of `percent` was clicked.
    void ChooseZoom(int percent);

    static constexpr int ZoomLevels[] = {70, 80, 100};

private:
    void CheckCurrentZoom();

    std::function<TQpRichText*()> currentEditor_;
    QMenu* menu_;
};
