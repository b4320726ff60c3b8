#include "prompts/prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>

namespace {
std::unique_ptr<Prompts>& current()
{
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}
} // namespace

Prompts& Prompts::instance()
{
    if (!current())
        current() = std::make_unique<QtPrompts>();
    return *current();
}

std::unique_ptr<Prompts> Prompts::install(std::unique_ptr<Prompts> prompts)
{
    std::unique_ptr<Prompts> previous = std::move(current());
    current() = std::move(prompts);
    return previous;
}

QMessageBox::StandardButton QtPrompts::question(QWidget* parent, const QString& title,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton QtPrompts::information(QWidget* parent, const QString& title,
                                                   const QString& text,
                                                   QMessageBox::StandardButtons buttons)
{
    return QMessageBox::information(parent, title, text, buttons);
}

QMessageBox::StandardButton QtPrompts::warning(QWidget* parent, const QString& title,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons)
{
    return QMessageBox::warning(parent, title, text, buttons);
}

QMessageBox::StandardButton QtPrompts::critical(QWidget* parent, const QString& title,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons)
{
    return QMessageBox::critical(parent, title, text, buttons);
}

QString QtPrompts::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtPrompts::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QString QtPrompts::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QColor QtPrompts::getColor(const QColor& initial, QWidget* parent, const QString& title)
{
    return QColorDialog::getColor(initial, parent, title);
}

QAction* QtPrompts::execMenu(QMenu* menu, const QPoint& globalPos)
{
    return menu->exec(globalPos);
}

int QtPrompts::execDialog(QDialog* dialog)
{
    return dialog->exec();
}

void QtPrompts::beep()
{
    QApplication::beep();
}

bool QtPrompts::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
