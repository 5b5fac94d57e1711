// A desktop behind the windows of a picture of the screen, so that the
// picture shows it around the form rather than the bare (black) screen of
// the virtual display.
#pragma once

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

inline void ShowDesktop(QWidget& Desktop) {
    Desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    QPalette pal = Desktop.palette();
    pal.setColor(QPalette::Window, QColor(0x4a, 0x6c, 0x8c));
    Desktop.setPalette(pal);
    Desktop.setAutoFillBackground(true);
    Desktop.show();
    Desktop.lower();
}
