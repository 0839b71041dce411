// SPDX-License-Identifier: MIT
// Placing controls by the layout's twips, and the layout's fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace kestrun::ui {

/// The layouts are drawn in twips, 15 to a device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;

/// Twips to device-independent pixels, rounded to the nearest.
constexpr int pixels(int twips) {
  return (twips + (twips >= 0 ? 1 : -1) * (kTwipsPerPixel / 2)) / kTwipsPerPixel;
}

/// The pixel rectangle of a control laid out at left, top, width, height twips.
QRect twips_rect(int left, int top, int width, int height);

/// Puts `widget` at the rectangle given in twips.
void place(QWidget* widget, int left, int top, int width, int height);

/// A window's client area given in twips.
QSize twips_size(int width, int height);

/// Moves `window` so that it stands in the middle of the primary screen's
/// free area (the taskbars left out).
void centre_on_screen(QWidget* window);

/// The faces the layouts name. Where one is not installed, the closest that
/// is takes its place: DejaVu Sans for the proportional faces, DejaVu Sans
/// Mono for Courier New; `dialog` is the platform's own dialog face.
enum class Face { dialog, verdana, trebuchet, courier };

QFont layout_font(Face face, qreal points, bool bold = false);

/// The dialog face at 8.25 points: every control without a font of its own.
QFont dialog_font();

/// Whether the caption of a label, check box or button shows whole.
bool caption_fits(const QWidget* control);

/// Makes the font of each label, check box and button of `window` smaller, by
/// at most 1.5 points, until its caption fits its place: the layouts were
/// drawn for a narrower face than most desktops have.
void fit_captions(QWidget* window);

/// The text colour of the layouts' hints and examples.
inline const QColor kDarkRed{64, 0, 0};

/// Gives `widget` the control name the layout tables use, and returns it.
template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

/// Where a control stands in its layout table, in twips.
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

/// Gives `widget` its control name and puts it at its place, and returns it.
template <typename Widget>
Widget* named(Widget* widget, const char* name, const Twips& at) {
  place(named(widget, name), at.left, at.top, at.width, at.height);
  return widget;
}

/// Sets one colour of `widget`'s palette.
void set_colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

/// The program's icon, a flash drive with a green arrow, in every size drawn.
QIcon program_icon();

}  // namespace kestrun::ui
