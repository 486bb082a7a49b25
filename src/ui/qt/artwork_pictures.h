#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The painters of the ten pictures, one per kind, each filling an image of
// the picture's native size that already holds the page background.

#include <QImage>

#include "ui/draw/canvas.h"

namespace quavrix::art {

void paintTopStrip(QImage& image);
void paintBottomStrip(QImage& image);
// The Bar, Beat, Division and Stroboscope pages and the three help pages.
void paintPage(QImage& image, Picture page);
void paintStart(QImage& image);

}  // namespace quavrix::art
