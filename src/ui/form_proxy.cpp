#include "ui/form_proxy.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/settings.h"
#include "engine/proxy_settings.h"
#include "ui/dialog_buttons.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr int cMaxPort = 65535;

QLineEdit* MakeEdit(QWidget* aParent, const char* aName) {
    auto* edit = new QLineEdit(aParent);
    edit->setObjectName(aName);
    return edit;
}

std::string Trimmed(const QLineEdit* aEdit) { return aEdit->text().trimmed().toStdString(); }

}  // namespace

TformProxy::TformProxy(TSettings& aSettings, IUserDialogs& aDialogs, QWidget* aParent)
    : QDialog(aParent), fSettings(aSettings), fDialogs(aDialogs) {
    setObjectName("formProxy");
    setWindowTitle("Proxy settings");
    setWindowFlag(Qt::Tool);
    cbEnableProxy = new QCheckBox("&Enable proxy", this);
    cbEnableProxy->setObjectName("cbEnableProxy");
    edtHost = MakeEdit(this, "edtHost");
    edtPort = MakeEdit(this, "edtPort");
    edtPort->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), edtPort));
    edtUsername = MakeEdit(this, "edtUsername");
    edtPassword = MakeEdit(this, "edtPassword");
    edtPassword->setEchoMode(QLineEdit::Password);
    cbSOCKSProxy = new QCheckBox("SOC&KS proxy", this);
    cbSOCKSProxy->setObjectName("cbSOCKSProxy");
    rbSocksV4 = new QRadioButton("SOCKS v&4", this);
    rbSocksV4->setObjectName("rbSocksV4");
    rbSocksV4->setChecked(true);
    rbSocksV5 = new QRadioButton("SOCKS v&5", this);
    rbSocksV5->setObjectName("rbSocksV5");
    const TDialogButtons buttons = MakeDialogButtons(this, "&Save", "&Cancel");
    btnSave = buttons.confirm;
    btnCancel = buttons.cancel;

    auto* form = new QFormLayout;
    auto addRow = [this, form](const char* aCaption, QLineEdit* aEdit) {
        auto* label = new QLabel(aCaption, this);
        label->setBuddy(aEdit);
        form->addRow(label, aEdit);
    };
    addRow("Proxy se&rver", edtHost);
    addRow("P&ort", edtPort);
    addRow("&Username", edtUsername);
    addRow("Pass&word", edtPassword);
    auto* socks = new QHBoxLayout;
    socks->addWidget(cbSOCKSProxy);
    socks->addWidget(rbSocksV4);
    socks->addWidget(rbSocksV5);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cbEnableProxy);
    layout->addLayout(form);
    layout->addLayout(socks);
    layout->addWidget(buttons.bar);
    resize(299, 181);

    connect(cbEnableProxy, &QCheckBox::clicked, this, &TformProxy::UpdateEnabling);
    connect(cbSOCKSProxy, &QCheckBox::clicked, this, &TformProxy::UpdateEnabling);
    connect(btnSave, &QPushButton::clicked, this, &TformProxy::SaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TformProxy::Fill() {
    const TProxySettings& proxy = fSettings.GetProxySettings();
    cbEnableProxy->setChecked(proxy.GetEnabled());
    cbSOCKSProxy->setChecked(proxy.GetIsSOCKS());
    edtHost->setText(QString::fromStdString(proxy.GetHost()));
    edtPort->setText(QString::number(proxy.GetPort()));
    edtUsername->setText(QString::fromStdString(proxy.GetUsername()));
    edtPassword->setText(QString::fromStdString(proxy.GetPassword()));
    const std::string version = proxy.GetSOCKSVersion();
    if (version == "v4") rbSocksV4->setChecked(true);
    if (version == "v5") rbSocksV5->setChecked(true);
    UpdateEnabling();
}

void TformProxy::UpdateEnabling() {
    const bool enabled = cbEnableProxy->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{edtHost, edtPort, edtUsername, edtPassword, cbSOCKSProxy})
        control->setEnabled(enabled);
    const bool socks = enabled && cbSOCKSProxy->isChecked();
    rbSocksV4->setEnabled(socks);
    rbSocksV5->setEnabled(socks);
}

void TformProxy::Prepare() {
    Fill();
    show();
    cbEnableProxy->setFocus();
}

void TformProxy::Execute() {
    Fill();
    cbEnableProxy->setFocus();
    exec();
}

int TformProxy::TypedPort() const {
    bool ok = false;
    const int port = edtPort->text().trimmed().toInt(&ok);
    return ok ? port : -1;
}

std::string TformProxy::Problem() const {
    for (const auto& [what, edit] : {std::pair<const char*, QLineEdit*>{"server", edtHost},
                                     {"user name", edtUsername}, {"password", edtPassword}}) {
        // Line breaks only: the trimming on save would hide one at either end, not inside.
        const std::string problem = ProxyTextProblem(what, edit->text().toStdString());
        if (!problem.empty()) return problem;
    }
    const int port = TypedPort();
    // A proxy that is off may keep no port ("0"), but never one that cannot exist.
    const bool noPortNeeded = !cbEnableProxy->isChecked() && (port == 0 || edtPort->text().trimmed().isEmpty());
    if (!noPortNeeded && (port < 1 || port > cMaxPort))
        return "The proxy port must be a number from 1 to 65535.";
    if (cbEnableProxy->isChecked() && edtHost->text().trimmed().isEmpty()) return "Enter the proxy server.";
    return {};
}

void TformProxy::SaveClick() {
    const std::string problem = Problem();
    if (!problem.empty()) {
        fDialogs.Warning(problem);
        return;
    }
    TProxySettings& proxy = fSettings.GetProxySettings();
    proxy.SetEnabled(cbEnableProxy->isChecked());
    proxy.SetHost(Trimmed(edtHost));
    proxy.SetPort(std::max(TypedPort(), 0));
    proxy.SetUsername(Trimmed(edtUsername));
    proxy.SetPassword(Trimmed(edtPassword));
    proxy.SetIsSOCKS(cbSOCKSProxy->isChecked());
    if (rbSocksV4->isChecked()) proxy.SetSOCKSVersion("v4");
    else if (rbSocksV5->isChecked()) proxy.SetSOCKSVersion("v5");
    try {
        fSettings.SaveSettings();
    } catch (const std::exception& e) {
        // In effect for the next download already; only the file could not take it.
        fDialogs.Warning(e.what());
        return;
    }
    accept();
}

}  // namespace trawlix
