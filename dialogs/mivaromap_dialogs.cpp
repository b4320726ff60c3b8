#include "app/mivaromap.h"

#include "dialogs/verupdialog.h"
#include "prompts/prompts.h"

#include <QPixmap>

#include <memory>

void MivaroMap::about()
{
    const auto dialog =
        std::make_unique<verupdialog>(QStringLiteral("MivaroMap"), version,
                                      QPixmap(QStringLiteral(":icons/mapimage.png")), 0, this);
    Prompts::instance().execDialog(dialog.get());
}
