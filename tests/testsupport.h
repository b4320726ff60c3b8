#pragma once

#include "app/prompts.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Prompts that answer from a script and record what was asked.
class ScriptedPrompts : public Prompts
{
public:
    struct Call
    {
        QString kind; // "question", "information", "warning", "open", "save", "color", "menu",
                      // "dialog", "beep", "url"
        QString title;
        QString text;
        QString extra; // dir/filter for file dialogs, the URL for "url"
        QWidget* parent = nullptr;
    };

    QList<Call> calls;
    QList<QMessageBox::StandardButton> buttonAnswers; // for question/information/warning
    QStringList fileAnswers;                          // for open/save; "" = cancel
    QList<QColor> colorAnswers;
    // Picks a menu entry by its text; empty = dismissed.
    QStringList menuAnswers;
    std::function<int(QDialog*)> dialogHandler;

    QStringList kinds() const;

    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QColor getColor(const QColor& initial, QWidget* parent, const QString& title) override;
    QAction* execMenu(QMenu* menu, const QPoint& globalPos) override;
    int execDialog(QDialog* dialog) override;
    void beep() override;
    bool openUrl(const QUrl& url) override;

private:
    QMessageBox::StandardButton nextButton(QMessageBox::StandardButton fallback);
};

// Installs scripted prompts for the lifetime of the object; the previous ones come back after.
class PromptScope
{
public:
    PromptScope();
    ~PromptScope();
    ScriptedPrompts& prompts() { return *m_prompts; }

private:
    ScriptedPrompts* m_prompts;
    std::unique_ptr<Prompts> m_previous;
};

// A temporary program directory for the lifetime of the object.
class ProgramDirScope
{
public:
    ProgramDirScope();
    ~ProgramDirScope();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Points every tile provider of the loaded settings at a closed port on
// 127.0.0.1, so that a shown window never reaches for a real tile server.
void keepTilesLocal();

// Small file helpers for tests.
QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// Sets a file's last-modified time (to fake "an earlier day").
void setModified(const QString& path, const QDateTime& when);
