// Help popups of the main window.
#include "app/mivaromap.h"

#include "prompts/prompts.h"
#include "settings/programdir.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/userassist.h"

#include <QAction>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>

void MivaroMap::on_btnHelp1_clicked()
{
    toggleAssist(QStringLiteral("/help/maintab1.ini"));
}

void MivaroMap::on_btnHelp2_clicked()
{
    toggleAssist(QStringLiteral("/help/maintab2.ini"));
}

void MivaroMap::on_btnHelp3_clicked()
{
    toggleAssist(QStringLiteral("/help/maintab3.ini"));
}

void MivaroMap::toggleAssist(const QString& path)
{
    if (assist)
        onAssistClose();
    else
        openHelpIndex(path);
}

void MivaroMap::openHelpIndex(const QString& path)
{
    QMenu menu(this);
    const QIcon icon(QPixmap(QStringLiteral(":/icons/help.png")));
    for (const assist::HelpEntry& entry : assist::readHelpIndex(programDir() + path)) {
        auto* action = new QAction(icon, entry.title, &menu);
        action->setToolTip(entry.file);
        menu.addAction(action);
        if (QFileInfo(entry.file).suffix() == QLatin1String("help"))
            connect(action, SIGNAL(triggered()), this, SLOT(onUserAssistWindow()));
    }
    // A page with one topic needs no menu.
    if (menu.actions().size() == 1 && !assist)
        openAssistFile(menu.actions().first()->toolTip());
    else
        Prompts::instance().execMenu(&menu, QCursor::pos());
}

void MivaroMap::onUserAssistWindow()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    openAssistFile(action->toolTip());
}

void MivaroMap::openAssistFile(const QString& entry)
{
    // Dragging a window writes its file back: only files of the help folder open.
    const QString path = assist::helpFilePath(entry);
    if (path.isEmpty())
        return;
    if (assist)
        onAssistClose();
    assist = new UserAssist(path, this);
    connect(assist, SIGNAL(UserAssistClose()), this, SLOT(onAssistClose()));
}

void MivaroMap::onAssistClose()
{
    UserAssist::closeSet(assist, this, SLOT(onAssistClose()));
}
