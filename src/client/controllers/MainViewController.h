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
// Main thread: button actions, push-channel calls (didReceiveWithModel) and the window's close
// arrive there. Owns the QR sub-window while it exists.

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

    // Names of the parts that the controller does not keep, for finding them.
    static constexpr auto kBackgroundImageName = "backgroundImage";
    static constexpr auto kEntKeyLabelName = "entKeyLabel";
    static constexpr auto kUserNameLabelName = "userNameLabel";
    static constexpr auto kPasswordLabelName = "passwordLabel";
    static constexpr auto kSaveAccountBoxName = "saveAccountBox";
    static constexpr auto kLoginViewName = "loginView";

    // The button's title: log in while no job waits when the form is built, upload otherwise.
    static constexpr auto kLoginTitle = u"登 录";
    static constexpr auto kUploadTitle = u"上 传";

    // The toggle's tag: whether the QR sub-window is shown.
    static constexpr int kSubWindowHidden = 0;
    static constexpr int kSubWindowShown = 1;
    // The sub-window's lower-left corner: this far left of the login window's right edge and
    // this far above its lower edge.
    static constexpr int kSubWindowOverlap = 3;
    static constexpr int kSubWindowRaise = 95;

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
    bool isFinishInitView() const { return m_isFinishInitView->load(); }

    QWidget *loginView() const { return m_loginView; }
    QLineEdit *nameField() const { return m_nameField; }
    QLineEdit *entkeyField() const { return m_entkeyField; }
    QLineEdit *passField() const { return m_passField; }
    FlatButton *btnOK() const { return m_btnOK; }
    TagButton *showSubViewBtn() const { return m_showSubViewBtn; }
    // The QR sub-window of the last show; kept, hidden and empty, once hidden again.
    QWidget *subWindow() const { return m_subWindow.get(); }
    TRSocketManager *manager() const { return m_manager; }

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
    void QrcodeReceive(const QString &content);

    void didConnectToHost(const QString &host, quint16 port) override;
    void didReceiveWithModel(const NetPackModel &model) override;

private:
    void viewDidLoad();
    void layoutUI();
    // The labels and fields; returns the lower edge of the password field.
    qreal layoutFields();
    // The button, the QR toggle and the check box below the fields.
    void layoutButtons(qreal fieldsBottom);
    void dataInit();
    // What making nothing the first responder does: the field being edited lets go.
    void endEditing();
    void orderOutWindow();
    LoginWindow *loginWindow() const;
    void showSubWindow();
    void hideSubWindow();

    UploadService &m_uploadService;
    SettingsStore &m_settings;
    const IniConfig &m_config;
    TRSocketManager &m_socketManager;
    PRNotification &m_notifications;

    QWidget *m_loginView = nullptr;
    QLineEdit *m_nameField = nullptr;
    QLineEdit *m_entkeyField = nullptr;
    QLineEdit *m_passField = nullptr;
    FlatButton *m_btnOK = nullptr;
    std::unique_ptr<QWidget> m_subWindow;
    TagButton *m_showSubViewBtn = nullptr;
    TRSocketManager *m_manager = nullptr;
    // Written once from the global pool after the form is built.
    std::shared_ptr<std::atomic<bool>> m_isFinishInitView;
};
