#pragma once

#include <QColor>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <memory>

class QAction;
class QDialog;
class QMenu;
class QWidget;

// Every modal interaction goes through here: message boxes, file and colour
// dialogs, popup menus and dialogs, the beep and the desktop's URL handler.
// The real implementation calls Qt; tests install a scripted one.
class Prompts
{
public:
    virtual ~Prompts() = default;

    virtual QMessageBox::StandardButton question(QWidget* parent, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) = 0;
    virtual QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                                    const QString& text,
                                                    QMessageBox::StandardButtons buttons) = 0;
    virtual QMessageBox::StandardButton warning(QWidget* parent, const QString& title,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons) = 0;
    virtual QMessageBox::StandardButton critical(QWidget* parent, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons) = 0;
    virtual QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    // A folder to open; empty when cancelled.
    virtual QString getExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& dir) = 0;
    virtual QColor getColor(const QColor& initial, QWidget* parent, const QString& title) = 0;
    // Shows a popup menu at a global position; the chosen action (already
    // triggered, as a real menu does), or null.
    virtual QAction* execMenu(QMenu* menu, const QPoint& globalPos) = 0;
    // Runs a modal dialog; its result code (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog* dialog) = 0;
    virtual void beep() = 0;
    virtual bool openUrl(const QUrl& url) = 0;

    // The prompts in use; the Qt ones unless a test installed others.
    static Prompts& instance();
    // Installs prompts (null restores the Qt ones); returns the previous ones.
    static std::unique_ptr<Prompts> install(std::unique_ptr<Prompts> prompts);
};

// The real thing: plain Qt dialogs.
class QtPrompts : public Prompts
{
public:
    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getExistingDirectory(QWidget* parent, const QString& caption,
                                 const QString& dir) override;
    QColor getColor(const QColor& initial, QWidget* parent, const QString& title) override;
    QAction* execMenu(QMenu* menu, const QPoint& globalPos) override;
    int execDialog(QDialog* dialog) override;
    void beep() override;
    bool openUrl(const QUrl& url) override;
};
