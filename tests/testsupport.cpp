#include "testsupport.h"

#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "widgets/clicklabel.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

QStringList ScriptedPrompts::kinds() const
{
    QStringList out;
    for (const Call& c : calls)
        out << c.kind;
    return out;
}

QMessageBox::StandardButton ScriptedPrompts::answer(const Call& call,
                                                    QMessageBox::StandardButton fallback)
{
    calls.append(call);
    if (onMessage)
        onMessage(call);
    return buttonAnswers.isEmpty() ? fallback : buttonAnswers.takeFirst();
}

QString ScriptedPrompts::file(const Call& call)
{
    calls.append(call);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QAction* ScriptedPrompts::execMenu(QMenu* menu, const QPoint&)
{
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << a->text();
    calls.append({"menu", menu->title(), entries.join('\n'), QString(), nullptr});
    const QString want = menuAnswers.isEmpty() ? QString() : menuAnswers.takeFirst();
    for (QAction* a : menu->actions())
        if (!want.isEmpty() && a->text() == want) {
            a->trigger();
            return a;
        }
    return nullptr;
}

int ScriptedPrompts::execDialog(QDialog* dialog)
{
    calls.append({"dialog", dialog->windowTitle(), QString(), QString(), dialog->parentWidget()});
    return dialogAnswers.isEmpty() ? int(QDialog::Rejected) : dialogAnswers.takeFirst()(dialog);
}

PromptScope::PromptScope()
{
    auto p = std::make_unique<ScriptedPrompts>();
    m_prompts = p.get();
    m_previous = Prompts::install(std::move(p));
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
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    s.geocoderGsi = s.geocoderNominatim = QStringLiteral("http://127.0.0.1:9/?q={q}");
    s.cache = false;
}

std::function<int(QDialog*)> clickClassLabel(int n)
{
    return [n](QDialog* d) {
        for (ClickLabel* label : d->findChildren<ClickLabel*>()) {
            if (label->toolTip() == QString::number(n))
                QTest::mouseClick(label, Qt::LeftButton);
        }
        return d->result();
    };
}

void screenClick(QWidget* widget, const QPoint& pos, int later)
{
    static QElapsedTimer clock;
    static qint64 skipped = 0;
    if (!clock.isValid())
        clock.start();
    skipped += later;
    QWidget* top = widget->window();
    const QPoint local = widget->mapTo(top, pos);
    for (auto [type, held] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                              {QEvent::MouseButtonRelease, Qt::NoButton}})
        qt_handleMouseEvent(top->windowHandle(), local, widget->mapToGlobal(pos), held,
                            Qt::LeftButton, type, {}, int(100000000 + clock.elapsed() + skipped));
    QCoreApplication::processEvents();
}

FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_savedCurrent = limit.rlim_cur;
    m_previous = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_savedCurrent;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_previous);
}

void textColumns(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        QTest::addColumn<QString>(name);
}

void textRow(const char* tag, std::initializer_list<QString> values)
{
    QTestData& row = QTest::newRow(tag);
    for (const QString& value : values)
        row << value;
}

QString cell(const char* column)
{
    return *static_cast<QString*>(QTest::qData(column, qMetaTypeId<QString>()));
}
