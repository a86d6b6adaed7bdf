#pragma once
// The firewall/proxy window (form TForm9, "Firewall / Proxy"): the SOCKS part of the setup dialog in a window of its own. It holds no
// settings: the setup dialog shows and reads its fields with the rest of the profile.
#include "settings/FtpTestSettings.h"
#include "settings/OptionsValues.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tarvo {

class ProxyWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProxyWindow(QWidget* parent = nullptr);

    // The SOCKS fields of the record.
    void ShowSettings(const OptionsValues& options);
    // Throws ConvertError when the port holds no whole number.
    void ReadSettings(OptionsValues& options) const;
    // The proxy part of the FTP test's settings, as typed; the FTP part stays empty.
    FtpTestSettings TypedSettings() const;

protected:
    // On every hide: a proxy without a server is switched off.
    void hideEvent(QHideEvent* event) override;

private slots:
    // The group and its controls are usable exactly when "Use Firewall / Proxy" is checked.
    void UpdateEnabling();

private:
    QCheckBox* useProxy_; // "Use Firewall / Proxy"
    QGroupBox* serverGroup_;
    QLineEdit* host_;
    QLineEdit* port_;     // no input check: "OK" of the setup dialog converts it strictly
    QLineEdit* user_;
    QLineEdit* password_; // shown in clear text
    QComboBox* type_;     // editable; the text is what is stored
    QPushButton* closeButton_;
};

} // namespace tarvo
