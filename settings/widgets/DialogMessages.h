#pragma once
// How the settings windows tell the user something: message boxes in the program, a recorder in
// tests (a modal box would stop an offscreen test). Each window is handed the one it uses.
#include <QString>

class QWidget;

namespace tarvo {

// The base class shows message boxes.
class DialogMessages {
public:
    virtual ~DialogMessages() = default;
    // An error the user has to read; the window stays as it is.
    virtual void ShowError(QWidget* parent, const QString& text);
    // An information box with only an OK button.
    virtual void ShowNote(QWidget* parent, const QString& title, const QString& text);
};

} // namespace tarvo
