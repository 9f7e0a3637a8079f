#pragma once

// The login form, content of the login window: a decorative image on the left and a panel with
// the company key, user name and password fields, the log-in/upload button, the "Save account"
// check box and the toggle of the QR-login sub-window. It hands the credentials (form login) or
// the pushed QR-login identity to the job queue with the head job, and removes the head job when
// the window is closed.
//
// The form is built once, in the constructor, for the content rectangle given (its height sets
// the layout): the field values, the check box state and the button title are taken then and
// only changed by the user and by a QR login. The controller then becomes the push channel's
// delegate and stays so for its life, so QR-login results are handled while the window is
// hidden too.
//
// The form's widgets are built by LoginForm, the QR sub-window is a QrLoginSubWindow, and a pushed
// QR-login result is read by QrLoginResult before anything is done with it: a result that cannot
// be used leaves the window as it was.
//
// Main thread: button actions, push-channel calls (didReceiveWithModel) and the window's close
// arrive there. Owns the QR sub-window while it exists.

#include "LoginForm.h"
#include "QrLoginSubWindow.h"

#include "client/categories/ToastView.h"
#include "client/models/VQLoginResult.h"
#include "client/network/TRSocketManagerDelegate.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class FlatButton;
class IniConfig;
class LoginResultModel;
class LoginWindow;
class PRNotification;
class QLineEdit;
class SettingsStore;
class TRSocketManager;
class TagButton;
class UploadService;

class MainViewController : public QWidget, public TRSocketManagerDelegate
{
    Q_OBJECT

public:
    struct Collaborators
    {
        UploadService &uploadService;
        SettingsStore &settings;
        const IniConfig &config;
        TRSocketManager &socketManager;
        PRNotification &notifications;
    };

    static constexpr std::chrono::seconds kMessageDelay{1};

    // Builds the form for the rectangle (the window's content), then becomes the push channel's
    // delegate.
    MainViewController(const QRect &contentRect, Collaborators collaborators,
                       QWidget *parent = nullptr);
    ~MainViewController() override;

    // A company key is preset in the INI file: the company-key row is hidden.
    bool isCustomEnt() const;
    // The saved setting, read anew each time.
    bool isSaveAccount() const;
    // NO until the form is built; set YES once, from the global pool, shortly after.
    bool isFinishInitView() const { return m_isFinishInitView->load(); }
    void setIsFinishInitView(bool isFinishInitView) { m_isFinishInitView->store(isFinishInitView); }

    QWidget *loginView() const { return m_form->loginView(); }
    QLineEdit *nameField() const { return m_form->nameField(); }
    QLineEdit *entkeyField() const { return m_form->entkeyField(); }
    QLineEdit *passField() const { return m_form->passField(); }
    FlatButton *btnOK() const { return m_form->btnOK(); }
    TagButton *showSubViewBtn() const { return m_form->showSubViewBtn(); }
    // The QR sub-window of the last show; kept, hidden and empty, once hidden again.
    QWidget *subWindow() const { return m_subWindow.window(); }
    TRSocketManager *manager() const { return &m_manager; }

    // Toasts over the form; each ends any editing. The toast deletes itself once hidden.
    ToastView *showMessage(const QString &text);
    ToastView *showMessage(const QString &text, std::function<void()> completion);
    ToastView *showMessage(const QString &text, ToastView::Mode mode, bool hide,
                           std::chrono::seconds afterDelay, std::function<void()> completion);

    // Form login.
    void handleConfirm();
    // True when no field is empty; otherwise the first empty field's placeholder as a toast.
    bool checkFieldTextSafed(const QList<QLineEdit *> &fields);
    void login(const QString &userName, const QString &password, const QString &entKey);
    void saveAccountInfo(bool checked);
    // Uploads the head job with an identity obtained elsewhere (QR login). entKey is the
    // identity's own key.
    void upload(const VQLoginResult &loginResult, const QString &entKey);
    void handleCancel();
    // The window closes: the head job is given up.
    void windowWillClose();

    // QR login.
    void showOrHideSubWindow(TagButton *sender);
    // A pushed QR-login result: used only when it carries this client's channel code and a
    // complete record; anything else is logged and leaves the window and the job as they were.
    void QrcodeReceive(const QString &content);

    void didConnectToHost(const QString &host, quint16 port) override;
    void didReceiveWithModel(const NetPackModel &model) override;

private:
    void viewDidLoad();
    void layoutUI();
    void dataInit();
    // What making nothing the first responder does: the field being edited lets go.
    void endEditing();
    void orderOutWindow();
    LoginWindow *loginWindow() const;
    // Saves the pushed identity, shows its account name and uploads the head job with it.
    void useQrLogin(const LoginResultModel &result);

    UploadService &m_uploadService;
    SettingsStore &m_settings;
    const IniConfig &m_config;
    // The push channel, of which this controller is the delegate.
    TRSocketManager &m_manager;
    PRNotification &m_notifications;

    std::unique_ptr<LoginForm> m_form;
    QrLoginSubWindow m_subWindow;
    // Written once from the global pool after the form is built.
    std::shared_ptr<std::atomic<bool>> m_isFinishInitView;
};
