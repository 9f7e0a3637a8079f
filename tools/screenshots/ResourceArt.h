#pragma once

// Draws the client's own images: "logoicon" (the tray icon), "background" (the login window's
// decorative image) and "icon_right" (the arrow of the QR-login toggle). The PNG files in
// src/client/resources/images/ are its output. Main thread (QPainter on QImage).

#include <QImage>
#include <QString>

class ResourceArt
{
public:
    static QImage logoIcon();
    static QImage background();
    static QImage iconRight();

    // Writes the three images as <name>.png into the folder; false with a message on failure.
    static bool writeAll(const QString &folder, QString *error);
};
