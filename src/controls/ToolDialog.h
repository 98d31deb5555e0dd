#pragma once
// The frame of our dialogs: a frameless tool window with its own compact
// title bar (bold caption, close box, room for more caption buttons),
// shown without a modal loop of its own.  While shown it disables the main
// window and enables it again when it closes.
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <QAbstractButton>

namespace vedomec::controls {

class TCaptionButton;
class TGradPan;

class TToolDialog : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    static constexpr int FrameWidth = 1;

    explicit TToolDialog(QWidget* mainWindow = nullptr);
    ~TToolDialog() override;

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);

    // Size of the client area, without the title bar and the frame.
    void setClientSize(int w, int h);
    QSize clientSize() const;
    // Forms put their controls here; its coordinates are the client
    // coordinates of the form.
    QWidget* clientArea() const { return m_client; }
    QWidget* titleBar() const { return m_titleBar; }
    TCaptionButton* closeButton() const { return m_closeButton; }

    // The window disabled while this dialog is shown.
    QWidget* mainWindow() const { return m_mainWindow; }
    void setMainWindow(QWidget* w) { m_mainWindow = w; }

    static int titleBarHeight();

    // Enter pressed anywhere in the dialog that no control takes for itself
    // presses this button; a focused push button with auto-default presses
    // itself.  Esc closes the dialog from every control that lets it pass.
    void setDefaultButton(QAbstractButton* button) { m_defaultButton = button; }
    QAbstractButton* defaultButton() const { return m_defaultButton; }

signals:
    void shown();
    void closed();

protected:
    // Run on every show, after the main window has been disabled.
    virtual void FormShow();
    // Run when the dialog closes (close box, Esc, close()); the main window
    // is enabled again right after it.
    virtual void FormClose();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void releaseMainWindow();
    void layoutFrame();

    QString m_caption;
    QWidget* m_titleBar = nullptr;
    QWidget* m_client = nullptr;
    TCaptionButton* m_closeButton = nullptr;
    QPointer<QWidget> m_mainWindow;
    bool m_disabledMain = false;
    QPointer<QAbstractButton> m_defaultButton;
};

enum class DialogIcon { Folder, Import, IdCard, Chart };

// Our own 32 x 32 pictures of the dialogs.
QPixmap DialogIconPixmap(DialogIcon icon);

// Every dialog's left strip is this wide; what stands beside it starts a
// small gap further right.
constexpr int LeftStripWidth = 46;
constexpr int BesideLeftStrip = LeftStripWidth + 9;

// The decoration strip down the left of a dialog: an aqua gradient panel
// (GradPan1) holding the icon (Image1) inside a white-framed square (Shape1).
TGradPan* CreateLeftStrip(QWidget* parent, DialogIcon icon, const QRect& geometry);

} // namespace vedomec::controls
