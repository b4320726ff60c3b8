#include "classes/classrows.h"

#include "settings/appsettings.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString classRowStyle(int i)
{
    const AppSettings& s = AppSettings::instance();
    return QStringLiteral("QLineEdit { color: %1 ; background-color: %2;}")
        .arg(s.classFore[i].name(), s.classBack[i].name());
}

std::array<QLineEdit*, 200> buildClassRowWidgets(QBoxLayout* layout, QObject* window)
{
    std::array<QLineEdit*, 200> edits{};
    const AppSettings& s = AppSettings::instance();
    const QIcon eraseIcon(QStringLiteral(":/icons/delete.png"));
    const QIcon insertIcon(QStringLiteral(":/icons/expand.png"));
    const QIcon colorIcon(QStringLiteral(":/icons/color.png"));
    for (int i = 0; i < AppSettings::ClassCount; ++i) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(new QLabel(QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0'))));

        auto* edit = new QLineEdit(s.className[i]);
        edit->setToolTip(QStringLiteral("lineedit%1").arg(i));
        edit->setStyleSheet(classRowStyle(i));
        QObject::connect(edit, SIGNAL(editingFinished()), window, SLOT(onEditingFinished()));
        row->addWidget(edit);
        edits[i] = edit;

        auto addButton = [&](const QIcon& icon, const QString& text, const QString& tip, int width,
                             const char* slot) {
            auto* button = new QPushButton(icon, text);
            button->setToolTip(tip.arg(i));
            if (width > 0)
                button->setFixedWidth(width);
            QObject::connect(button, SIGNAL(clicked()), window, slot);
            row->addWidget(button);
            return button;
        };
        addButton(QIcon(), QStringLiteral("↑"), QStringLiteral("up%1"), 20, SLOT(onColorUp()))
            ->setObjectName(QStringLiteral("btnUp%1").arg(i));
        addButton(QIcon(), QStringLiteral("↓"), QStringLiteral("down%1"), 20, SLOT(onColorDown()));
        addButton(eraseIcon, QStringLiteral("削除"), QStringLiteral("erase%1"), 60,
                  SLOT(onColorErase()));
        addButton(insertIcon, QStringLiteral("挿入"), QStringLiteral("insert%1"), 60,
                  SLOT(onColorInsert()));
        addButton(colorIcon, QStringLiteral("背景色"), QStringLiteral("back%1"), 0,
                  SLOT(onColorChange()));
        addButton(colorIcon, QStringLiteral("文字色"), QStringLiteral("fore%1"), 0,
                  SLOT(onColorChange()));
        layout->addLayout(row);
    }
    return edits;
}

void restyleClassRows(const std::array<QLineEdit*, 200>& edits, int from, int to)
{
    for (int i = from; i <= to; ++i)
        edits[i]->setStyleSheet(classRowStyle(i));
}

void refreshClassRows(const std::array<QLineEdit*, 200>& edits, int from, int to)
{
    const AppSettings& s = AppSettings::instance();
    for (int i = from; i <= to; ++i) {
        edits[i]->setText(s.className[i]);
        edits[i]->setStyleSheet(classRowStyle(i));
    }
}
