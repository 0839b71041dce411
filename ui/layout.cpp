// SPDX-License-Identifier: MIT
#include "ui/layout.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace kestrun::ui {
namespace {

QString installed_or(const QString& family, const QString& fallback) {
  return QFontDatabase::hasFamily(family) ? family : fallback;
}

QString family_of(Face face) {
  switch (face) {
    case Face::verdana:
      return installed_or(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
    case Face::trebuchet:
      return installed_or(QStringLiteral("Trebuchet MS"), QStringLiteral("DejaVu Sans"));
    case Face::courier:
      return installed_or(QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"));
    case Face::dialog:
      break;
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

QRect twips_rect(int left, int top, int width, int height) {
  return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

void place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(twips_rect(left, top, width, height));
}

QSize twips_size(int width, int height) { return {pixels(width), pixels(height)}; }

void centre_on_screen(QWidget* window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame(QPoint(), window->size());
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

QFont layout_font(Face face, qreal points, bool bold) {
  QFont font(family_of(face));
  font.setPointSizeF(points);
  font.setBold(bold);
  if (face == Face::courier) font.setStyleHint(QFont::Monospace);
  return font;
}

QFont dialog_font() { return layout_font(Face::dialog, 8.25); }

namespace {

void shrink_to_fit(QWidget* control) {
  QFont font = control->font();
  const qreal smallest = font.pointSizeF() - 1.5;
  while (!caption_fits(control) && font.pointSizeF() > smallest) {
    font.setPointSizeF(font.pointSizeF() - 0.25);
    control->setFont(font);
  }
}

}  // namespace

bool caption_fits(const QWidget* control) {
  // A button's size hint has a minimum width of the style's own; what matters
  // is whether its caption clears the frame.
  if (const auto* button = qobject_cast<const QPushButton*>(control)) {
    constexpr int kFrameAndPadding = 12;
    return button->fontMetrics().horizontalAdvance(button->text()) + kFrameAndPadding <=
           button->width();
  }
  if (control->hasHeightForWidth()) {
    return control->heightForWidth(control->width()) <= control->height();
  }
  return control->sizeHint().width() <= control->width();
}

void set_colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette colours = widget->palette();
  colours.setColor(role, colour);
  widget->setPalette(colours);
}

void fit_captions(QWidget* window) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) shrink_to_fit(label);
  }
  for (QCheckBox* box : window->findChildren<QCheckBox*>()) shrink_to_fit(box);
  for (QPushButton* button : window->findChildren<QPushButton*>()) shrink_to_fit(button);
}

QIcon program_icon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/kestrun/kestrun-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace kestrun::ui
