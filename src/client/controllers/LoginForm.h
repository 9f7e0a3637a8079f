#pragma once

// Builds the login form into a view, for the view's size (its height sets the layout): on the
// left the decorative image, on the right the panel (loginView) with the company-key row, the user
// name and password rows, the log-in/upload button, the QR-login toggle and the "Save account"
// check box, placed with explicit geometry. What the form shows is taken from the Contents given,
// once; the form connects nothing: its owner wires the controls.
//
// Main thread. The widgets belong to the view; this object only keeps pointers to them.

#include <QString>

class FlatButton;
class QCheckBox;
class QLineEdit;
class QWidget;
class TagButton;

class LoginForm
{
public:
    // Names of the parts that are found by name, not kept by the controller.
    static constexpr auto kBackgroundImageName = "backgroundImage";
    static constexpr auto kEntKeyLabelName = "entKeyLabel";
    static constexpr auto kUserNameLabelName = "userNameLabel";
    static constexpr auto kPasswordLabelName = "passwordLabel";
    static constexpr auto kSaveAccountBoxName = "saveAccountBox";
    static constexpr auto kLoginViewName = "loginView";

    // The button's title: log in while no job waits when the form is built, upload otherwise.
    static constexpr auto kLoginTitle = u"登 录";
    static constexpr auto kUploadTitle = u"上 传";

    // The toggle's tag: whether the QR sub-window is shown. The form starts it hidden.
    static constexpr int kSubWindowHidden = 0;
    static constexpr int kSubWindowShown = 1;

    struct Contents
    {
        // The INI file's company key: when set, the company-key row is hidden and holds it.
        QString iniEntKey;
        QString savedEntKey;
        QString userName;
        QString password;
        bool saveAccount = false;
        // The INI file offers QR login: the toggle is shown.
        bool qrLogin = false;
        bool jobWaiting = false;
    };

    LoginForm(QWidget *view, const Contents &contents);

    QWidget *loginView() const { return m_loginView; }
    QLineEdit *entkeyField() const { return m_entkeyField; }
    QLineEdit *nameField() const { return m_nameField; }
    QLineEdit *passField() const { return m_passField; }
    FlatButton *btnOK() const { return m_btnOK; }
    TagButton *showSubViewBtn() const { return m_showSubViewBtn; }
    QCheckBox *saveAccountBox() const { return m_saveAccountBox; }

private:
    // The labels and fields; returns the lower edge of the password field.
    qreal layoutFields(const Contents &contents);
    // The button, the QR toggle and the check box below the fields.
    void layoutButtons(const Contents &contents, qreal fieldsBottom);

    QWidget *m_loginView = nullptr;
    QLineEdit *m_entkeyField = nullptr;
    QLineEdit *m_nameField = nullptr;
    QLineEdit *m_passField = nullptr;
    FlatButton *m_btnOK = nullptr;
    TagButton *m_showSubViewBtn = nullptr;
    QCheckBox *m_saveAccountBox = nullptr;
};
