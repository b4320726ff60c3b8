#include "widgets/assist/userassist.h"

#include "prompts/prompts.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/userassistwindow.h"

#include <utility>

UserAssist::UserAssist(const QString& path, QWidget* parent) : QWidget(parent)
{
    const QString file = path.trimmed();
    const assist::AssistFile read = assist::readAssistFile(file);
    if (read.missingWindow) {
        // The set stays open, empty: the next press of the help button closes it.
        Prompts::instance().critical(nullptr, QStringLiteral("UserAssistWindow"),
                                     QStringLiteral("window設定が見つかりません"), QMessageBox::Ok);
        return;
    }
    for (const AssistWindowSpec& spec : read.specs) {
        auto* window = new UserAssistWindow(file, spec, parent);
        connect(window, SIGNAL(UserAssistWindowAllClose()), this, SIGNAL(UserAssistClose()));
        assistWindows.append(window);
    }
}

UserAssist::~UserAssist()
{
    AllClose();
}

void UserAssist::AllClose()
{
    // Taken out of the list first: closing may bring this slot back.
    const QList<UserAssistWindow*> closing = std::exchange(assistWindows, {});
    for (UserAssistWindow* window : closing) {
        if (window->isClosing())
            continue;
        window->setClosing();
        window->owner()->removeEventFilter(window);
        window->close();
        delete window;
    }
}

void UserAssist::closeSet(UserAssist*& set, QObject* owner, const char* closeSlot)
{
    if (!set)
        return;
    QObject::disconnect(set, SIGNAL(UserAssistClose()), owner, closeSlot);
    set->AllClose();
    delete set;
    set = nullptr;
}
