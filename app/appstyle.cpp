#include "app/appstyle.h"

#include "settings/appsettings.h"

#include <QApplication>
#include <QFile>

QPalette buildAppPalette(const AppSettings& s)
{
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, s.paletteWindow},
        {QPalette::WindowText, s.paletteWindowText},
        {QPalette::Base, s.paletteBase},
        {QPalette::AlternateBase, s.paletteAlternateBase},
        {QPalette::ToolTipBase, s.paletteToolTipBase},
        {QPalette::ToolTipText, s.paletteToolTipText},
        {QPalette::Text, s.paletteText},
        {QPalette::Button, s.paletteButton},
        {QPalette::ButtonText, s.paletteButtonText},
        {QPalette::BrightText, s.paletteBrightText},
        {QPalette::Link, s.paletteLink},
        {QPalette::Highlight, s.paletteHighlight},
        {QPalette::HighlightedText, s.paletteHighlightedText},
    };
    QPalette palette;
    for (const auto& [role, colour] : roles)
        palette.setBrush(role, QBrush(colour));
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::darkGreen);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, Qt::darkGreen);
    return palette;
}

QString styleSheetFromBytes(const QByteArray& bytes, const QString& appDir)
{
    QByteArray text = bytes;
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    QString sheet = QString::fromLatin1(text);
    sheet.replace(QStringLiteral("url("), QStringLiteral("url(") + appDir, Qt::CaseSensitive);
    return sheet;
}

bool applyStyleSheetFile(const QString& appDir)
{
    QFile file(appDir + QStringLiteral("unify.qss"));
    if (!file.exists())
        return false;
    // An unreadable sheet gives empty text, which clears any sheet: harmless.
    file.open(QIODevice::ReadOnly);
    qApp->setStyleSheet(styleSheetFromBytes(file.readAll(), appDir));
    file.close();
    return true;
}
