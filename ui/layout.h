// Placing controls by the layout's twips, and the layout's fonts.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>

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

/// The faces the layouts name. Where one is not installed, the closest that
/// is takes its place: DejaVu Sans for the proportional faces, DejaVu Sans
/// Mono for Courier New; `dialog` is the platform's own dialog face.
enum class Face { dialog, verdana, trebuchet, courier };

QFont layout_font(Face face, qreal points, bool bold = false);

/// The dialog face at 8.25 points: every control without a font of its own.
QFont dialog_font();

/// Makes the font of each label and check box of `window` smaller, by at most
/// 1.5 points, until its caption fits its place: the layouts were drawn for
/// a narrower face than most desktops have.
/// Whether the caption of a label, check box or button shows whole.
bool caption_fits(const QWidget* control);
void fit_captions(QWidget* window);

/// The program's icon, a flash drive with a green arrow, in every size drawn.
QIcon program_icon();

}  // namespace kestrun::ui
