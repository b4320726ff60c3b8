#include "testsupport.h"

#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QMenu>

QStringList ScriptedPrompts::kinds() const
{
    QStringList out;
    for (const Call& c : calls)
        out << c.kind;
    return out;
}

QMessageBox::StandardButton ScriptedPrompts::nextButton(QMessageBox::StandardButton fallback)
{
    return buttonAnswers.isEmpty() ? fallback : buttonAnswers.takeFirst();
}

QMessageBox::StandardButton ScriptedPrompts::question(QWidget* parent, const QString& title,
                                                      const QString& text,
                                                      QMessageBox::StandardButtons,
                                                      QMessageBox::StandardButton)
{
    calls.append({"question", title, text, QString(), parent});
    return nextButton(QMessageBox::No);
}

QMessageBox::StandardButton ScriptedPrompts::information(QWidget* parent, const QString& title,
                                                         const QString& text,
                                                         QMessageBox::StandardButtons)
{
    calls.append({"information", title, text, QString(), parent});
    return nextButton(QMessageBox::Ok);
}

QMessageBox::StandardButton ScriptedPrompts::warning(QWidget* parent, const QString& title,
                                                     const QString& text,
                                                     QMessageBox::StandardButtons)
{
    calls.append({"warning", title, text, QString(), parent});
    return nextButton(QMessageBox::Ok);
}

QString ScriptedPrompts::getOpenFileName(QWidget* parent, const QString& caption,
                                         const QString& dir, const QString& filter)
{
    calls.append({"open", caption, dir, filter, parent});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedPrompts::getSaveFileName(QWidget* parent, const QString& caption,
                                         const QString& dir, const QString& filter)
{
    calls.append({"save", caption, dir, filter, parent});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QColor ScriptedPrompts::getColor(const QColor&, QWidget* parent, const QString& title)
{
    calls.append({"color", title, QString(), QString(), parent});
    return colorAnswers.isEmpty() ? QColor() : colorAnswers.takeFirst();
}

QAction* ScriptedPrompts::execMenu(QMenu* menu, const QPoint&)
{
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << a->text();
    calls.append({"menu", menu->title(), entries.join('\n'), QString(), nullptr});
    if (menuAnswers.isEmpty())
        return nullptr;
    const QString want = menuAnswers.takeFirst();
    for (QAction* a : menu->actions())
        if (a->text() == want)
            return a;
    return nullptr;
}

int ScriptedPrompts::execDialog(QDialog* dialog)
{
    calls.append({"dialog", QString(), QString(), QString(), nullptr});
    return dialogHandler ? dialogHandler(dialog) : 0;
}

void ScriptedPrompts::beep()
{
    calls.append({"beep", QString(), QString(), QString(), nullptr});
}

bool ScriptedPrompts::openUrl(const QUrl& url)
{
    calls.append({"url", QString(), QString(), url.toString(), nullptr});
    return true;
}

PromptScope::PromptScope()
{
    auto p = std::make_unique<ScriptedPrompts>();
    m_prompts = p.get();
    m_previous = Prompts::install(std::move(p));
}

PromptScope::~PromptScope()
{
    Prompts::install(std::move(m_previous));
}

ProgramDirScope::ProgramDirScope()
{
    setProgramDir(m_dir.path());
}

ProgramDirScope::~ProgramDirScope()
{
    setProgramDir(QString());
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    if (f.open(QIODevice::ReadWrite))
        f.setFileTime(when, QFileDevice::FileModificationTime);
}

void keepTilesLocal()
{
    AppSettings& s = AppSettings::instance();
    const QString nowhere = QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png");
    s.tilesGoogle = s.tilesOsm = s.tilesStamen = s.tilesGsi = nowhere;
    s.cache = false;
}
