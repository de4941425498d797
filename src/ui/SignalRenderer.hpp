#pragma once
// Draws a signal window's picture: grid, curve, markers, phase dial, margins, labels and status line. The
// same drawing serves the screen (through an off-screen image), the clipboard image and paper.

#include <QImage>
#include <QSize>

class QPainter;

namespace velmar::ui {

class SignalWindowModel;

// Paints the whole client area of `model` (its client size) with `painter`. Nothing when the plot is too
// small to show anything.
void PaintSignal(QPainter& painter, const SignalWindowModel& model);

// The picture in a new 24-bit image of the model's client size, at `devicePixelRatio` image pixels per
// client pixel.
QImage RenderSignalImage(const SignalWindowModel& model, double devicePixelRatio = 1.0);

}  // namespace velmar::ui
