#pragma once
// The firewall/proxy window (form TForm9, "Firewall / Proxy"): the SOCKS part of the setup dialog in a window of its own. It holds no
// settings: the setup dialog fills and reads its controls with the rest of the profile.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class ProxyWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProxyWindow(QWidget* parent = nullptr);

    QCheckBox* CheckBox1;     // "Use Firewall / Proxy"
    QGroupBox* GroupBox1;
    QLineEdit* SocksHostEdit;
    QLineEdit* SocksPortEdit; // no input check: "OK" of the setup dialog converts it strictly
    QLineEdit* SocksUserEdit;
    QLineEdit* SocksPassEdit; // shown in clear text
    QComboBox* SocksType;     // editable; the text is what is stored
    QPushButton* Button1;     // "Close"

    // The group and its controls are usable exactly when "Use Firewall / Proxy" is checked.
    void CheckBox1Click();
    void Button1Click();

protected:
    // On every hide: a proxy without a server is switched off.
    void hideEvent(QHideEvent* event) override;
};
