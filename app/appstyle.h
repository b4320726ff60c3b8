#pragma once

#include <QByteArray>
#include <QPalette>
#include <QString>

class AppSettings;

// The application palette from the thirteen settings colours; Text and
// ButtonText of the Disabled group are dark green.
QPalette buildAppPalette(const AppSettings& settings);

// The style sheet text from the bytes of "unify.qss": Latin-1 up to the first
// zero byte, every "url(" pointing into appDir (which ends with "/").
QString styleSheetFromBytes(const QByteArray& bytes, const QString& appDir);

// Applies "unify.qss" from appDir when it exists; returns whether it did.
bool applyStyleSheetFile(const QString& appDir);
