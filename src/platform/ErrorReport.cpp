#include "ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

namespace vedomec {
namespace {
std::function<void(const QString&)>& hook()
{
    static std::function<void(const QString&)> h;
    return h;
}
} // namespace

void ShowErrorReport(const QString& message)
{
    const QString text = errorReportText(message);
    if (hook()) {
        hook()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vedomec 2001"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorReport"));
    box.exec();
}

void setErrorReportHook(std::function<void(const QString&)> h)
{
    hook() = std::move(h);
}

} // namespace vedomec
