#pragma once
// How the settings windows tell the user something: message boxes in the program, a recorder in
// tests (a modal box would stop an offscreen test).
#include <QString>

class QWidget;

namespace tarvo {

class DialogMessages {
public:
    virtual ~DialogMessages() = default;
    // An error the user has to read; the window stays as it is.
    virtual void ShowError(QWidget* parent, const QString& text);
    // An information box with only an OK button.
    virtual void ShowNote(QWidget* parent, const QString& title, const QString& text);
};

DialogMessages& SettingsMessages();
void SetSettingsMessages(DialogMessages* messages); // nullptr: message boxes again

} // namespace tarvo
