#include "ErrorReport.h"

#include "platform/ErrorText.h"

#include <QApplication>
#include <QMessageBox>
#include <QtDebug>

namespace vedomec {
namespace {
std::function<void(const QString&)>& hook()
{
    static std::function<void(const QString&)> h;
    return h;
}
std::function<void(const QString&)>& presenter()
{
    static std::function<void(const QString&)> p;
    return p;
}
} // namespace

void ShowErrorReport(const QString& message)
{
    const QString text = errorReportText(message);
    if (hook()) {
        hook()(text);
        return;
    }
    static bool showing = false;
    if (showing) {
        qWarning("vedomec: %s", qPrintable(text));
        return;
    }
    showing = true;
    struct Done {
        ~Done() { showing = false; }
    } done;
    if (presenter()) {
        // A copy: the presenter may go while its balloon waits.
        const auto show = presenter();
        show(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vedomec"), czechErrorText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.exec();
}

void setErrorReportHook(std::function<void(const QString&)> h)
{
    hook() = std::move(h);
}

void setErrorPresenter(std::function<void(const QString&)> p)
{
    presenter() = std::move(p);
}

} // namespace vedomec
