#include "EditorPrompts.h"

#include "editor/TestPropertiesDialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace vedomec::editor {

namespace {
const QString kTitle = QStringLiteral("Vedomec – editor testů");
}

void EditorPrompts::message(QWidget* parent, const QString& text, bool error)
{
    if (error)
        QMessageBox::critical(parent, kTitle, text);
    else
        QMessageBox::information(parent, kTitle, text);
}

void EditorPrompts::report(QWidget* parent, const QString& text, const QStringList& details)
{
    if (details.isEmpty()) {
        message(parent, text, false);
        return;
    }
    QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok, parent);
    box.setDetailedText(details.join(u'\n'));
    box.exec();
}

bool EditorPrompts::confirm(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, kTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

EditorPrompts::Unsaved EditorPrompts::unsaved(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::NoButton, parent);
    QPushButton* save = box.addButton(QStringLiteral("&Uložit"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("&Neukládat"), QMessageBox::DestructiveRole);
    box.addButton(QStringLiteral("&Zpět"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save)
        return Unsaved::Save;
    if (box.clickedButton() == discard)
        return Unsaved::Discard;
    return Unsaved::Cancel;
}

std::optional<QString> EditorPrompts::text(QWidget* parent, const QString& title, const QString& label,
                                           const QString& value, bool password)
{
    bool ok = false;
    const QString s = QInputDialog::getText(parent, title, label, password ? QLineEdit::Password : QLineEdit::Normal,
                                            value, &ok);
    if (!ok)
        return std::nullopt;
    return s;
}

std::optional<QString> EditorPrompts::item(QWidget* parent, const QString& title, const QString& label,
                                           const QStringList& items, const QString& current, bool editable)
{
    bool ok = false;
    const int at = std::max<int>(0, int(items.indexOf(current)));
    const QString s = QInputDialog::getItem(parent, title, label, items, at, editable, &ok);
    if (!ok)
        return std::nullopt;
    return s;
}

QString EditorPrompts::openFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString EditorPrompts::folder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title);
}

QString EditorPrompts::saveFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

std::optional<authoring::TestSource> EditorPrompts::testProperties(QWidget* parent, const authoring::TestSource& test,
                                                                  const QStringList& kinds, bool isNew)
{
    TestPropertiesDialog dialog(test, kinds, isNew, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.test();
}

bool EditorPrompts::choosePrinter(QWidget* parent, QPrinter& printer, const QString& title)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace vedomec::editor
