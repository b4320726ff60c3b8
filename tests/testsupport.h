#pragma once

#include "prompts/prompts.h"

#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Prompts that answer from a script and record what was asked.
class ScriptedPrompts : public Prompts
{
public:
    struct Call
    {
        QString kind; // "question", "information", "warning", "open", "save", "menu", "url", ...
        QString title;
        QString text;
        QString extra; // dir/filter for file dialogs, the URL for "url"
        QWidget* parent = nullptr;
    };

    QList<Call> calls;
    QList<QMessageBox::StandardButton> buttonAnswers; // for question/information/warning
    // Runs as a message box is shown, before its answer (to free the disk, say).
    std::function<void(const Call&)> onMessage;
    QStringList fileAnswers; // for open/save; "" = cancel
    QStringList menuAnswers; // a menu entry's text, triggered like a real menu does; "" = dismissed
    QList<QColor> colorAnswers; // for getColor; invalid = cancelled
    // For modal dialogs and the palette: acts on the shown dialog and returns its result;
    // with none left a dialog is rejected.
    QList<std::function<int(QDialog*)>> dialogAnswers;

    QStringList kinds() const;

    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons,
                                         QMessageBox::StandardButton) override
    {
        return answer({"question", title, text, QString(), parent}, QMessageBox::No);
    }
    QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons) override
    {
        return answer({"information", title, text, QString(), parent}, QMessageBox::Ok);
    }
    QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons) override
    {
        return answer({"warning", title, text, QString(), parent}, QMessageBox::Ok);
    }
    QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons) override
    {
        return answer({"critical", title, text, QString(), parent}, QMessageBox::Ok);
    }
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override
    {
        return file({"open", caption, dir, filter, parent});
    }
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override
    {
        return file({"save", caption, dir, filter, parent});
    }
    // Answered from fileAnswers too.
    QString getExistingDirectory(QWidget* parent, const QString& caption,
                                 const QString& dir) override
    {
        return file({"folder", caption, dir, QString(), parent});
    }
    QColor getColor(const QColor& initial, QWidget* parent, const QString& title) override
    {
        calls.append({"color", title, QString(), initial.name(), parent});
        return colorAnswers.isEmpty() ? QColor() : colorAnswers.takeFirst();
    }
    QAction* execMenu(QMenu* menu, const QPoint& globalPos) override;
    // Answered by the next of dialogAnswers, rejected when none is left.
    int execDialog(QDialog* dialog) override;
    void beep() override { calls.append({"beep", QString(), QString(), QString(), nullptr}); }
    bool openUrl(const QUrl& url) override
    {
        calls.append({"url", QString(), QString(), url.toString(), nullptr});
        return true;
    }

private:
    QMessageBox::StandardButton answer(const Call& call, QMessageBox::StandardButton fallback);
    QString file(const Call& call);
};

// A dialog answer for the colour palette: clicks the label of class n
// (none there: the palette is left without a choice).
std::function<int(QDialog*)> clickClassLabel(int n);

// Installs scripted prompts for the lifetime of the object; the previous ones come back after.
class PromptScope
{
public:
    PromptScope();
    ~PromptScope() { Prompts::install(std::move(m_previous)); }
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

// Points every tile provider and place-search service of the loaded settings at a
// closed port on 127.0.0.1, so that a shown window never reaches for a real server.
void keepTilesLocal();

// A left click as a screen sends it: press and release through the window system's entry
// point, stamped with the real clock (kept above QTest's own stamps), so that two of them
// within the system's interval make its double click. `later`: milliseconds the stamps move
// on first, as if the test had waited so long.
void screenClick(QWidget* widget, const QPoint& pos, int later = 0);

// Small file helpers for tests.
// A real short write, as on a full disk: while it lives, the kernel stops
// every file of this process at `bytes` (and the signal for it is ignored).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long m_savedCurrent = 0;
    void (*m_previous)(int) = nullptr;
};

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// Sets a file's last-modified time (to fake "an earlier day").
void setModified(const QString& path, const QDateTime& when);

// Data tables of text columns, a row a line: textColumns declares them, textRow adds a
// row, and cell reads a column of the current row (numbers and flags are texts too).
void textColumns(std::initializer_list<const char*> names);
void textRow(const char* tag, std::initializer_list<QString> values);
QString cell(const char* column);
