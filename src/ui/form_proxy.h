#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trawlix {

class IUserDialogs;
class TSettings;

// "Proxy settings": edits the proxy every download uses and saves it on "Save", apart from
// the preferences window's own "Save" and "Close".
class TformProxy : public QDialog {
    Q_OBJECT
public:
    TformProxy(TSettings& aSettings, IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    // Fills the controls and runs the window modally.
    void Execute();
    // Fills the controls and shows the window without waiting (tests answer it themselves).
    void Prepare();
    // Why the typed values cannot be stored, or empty when they can.
    std::string Problem() const;

    QCheckBox* cbEnableProxy;
    QLineEdit* edtHost;
    QLineEdit* edtPort;
    QLineEdit* edtUsername;
    QLineEdit* edtPassword;
    QCheckBox* cbSOCKSProxy;
    QRadioButton* rbSocksV4;
    QRadioButton* rbSocksV5;
    QPushButton* btnSave;
    QPushButton* btnCancel;

private:
    void Fill();
    void UpdateEnabling();
    void SaveClick();
    int TypedPort() const;  // -1 when the text is no port number at all

    TSettings& fSettings;
    IUserDialogs& fDialogs;
};

}  // namespace trawlix
