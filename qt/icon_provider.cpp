#include "qt/icon_provider.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "toolkit/small_icons.h"

namespace qvr::view {
namespace {

const QColor kFolder(0xE8, 0xB9, 0x4A);
const QColor kFolderDark(0x9C, 0x74, 0x1A);

void DrawFolder(QPainter& p, bool open) {
  p.setPen(kFolderDark);
  p.setBrush(kFolder.darker(110));
  p.drawRect(1, 3, 6, 2);  // the tab
  if (open) {
    p.setBrush(kFolder.darker(115));
    p.drawRect(1, 4, 13, 10);
    QPainterPath front;
    front.moveTo(3, 7);
    front.lineTo(15, 7);
    front.lineTo(13, 14);
    front.lineTo(1, 14);
    front.closeSubpath();
    p.setBrush(kFolder.lighter(115));
    p.drawPath(front);
  } else {
    p.setBrush(kFolder);
    p.drawRect(1, 4, 14, 10);
  }
}

void DrawTick(QPainter& p, const QColor& color) {
  QPen pen(color, 2.2);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.drawLine(QPointF(7.5, 10), QPointF(10, 13));
  p.drawLine(QPointF(10, 13), QPointF(15, 6.5));
}

void DrawCross(QPainter& p) {
  QPen pen(QColor(0xD0, 0x20, 0x20), 2.2);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.drawLine(QPointF(8, 7), QPointF(14, 13));
  p.drawLine(QPointF(14, 7), QPointF(8, 13));
}

void DrawDocument(QPainter& p, bool text) {
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.setBrush(Qt::white);
  QPainterPath page;
  page.moveTo(3, 1);
  page.lineTo(10, 1);
  page.lineTo(13, 4);
  page.lineTo(13, 15);
  page.lineTo(3, 15);
  page.closeSubpath();
  p.drawPath(page);
  if (text) {
    p.setPen(QColor(0x20, 0x50, 0xB0));
    for (int y = 5; y <= 12; y += 2) p.drawLine(5, y, y == 12 ? 9 : 11, y);
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x90, 0x40));
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col)
        if ((row + col) % 2 == 0) p.drawRect(5 + col * 2, 5 + row * 3, 2, 2);
  }
}

void DrawComputer(QPainter& p) {
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.setBrush(QColor(0xD8, 0xD8, 0xD8));
  p.drawRect(1, 1, 14, 10);
  p.setBrush(QColor(0x30, 0x70, 0xC0));
  p.drawRect(3, 3, 10, 6);
  p.setBrush(QColor(0xB0, 0xB0, 0xB0));
  p.drawRect(5, 12, 6, 1);
  p.drawRect(2, 14, 12, 1);
}

void DrawCheckBox(QPainter& p, bool checked) {
  p.setPen(QColor(0x50, 0x50, 0x50));
  p.setBrush(Qt::white);
  p.drawRect(2, 2, 11, 11);
  if (checked) {
    QPen pen(QColor(0x10, 0x10, 0x10), 2);
    p.setPen(pen);
    p.drawLine(QPointF(4.5, 7.5), QPointF(6.5, 10));
    p.drawLine(QPointF(6.5, 10), QPointF(11, 4.5));
  }
}

}  // namespace

QPixmap IconProvider::Drawn(const std::string& key) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, true);
  if (key == "BLANK") {
  } else if (key == "ROOTKEY") {
    DrawComputer(p);
  } else if (key == "STRVAL") {
    DrawDocument(p, true);
  } else if (key == "BINVAL") {
    DrawDocument(p, false);
  } else if (key == "REGKEY") {
    DrawFolder(p, false);
  } else if (key == "KEYOPEN") {
    DrawFolder(p, true);
  } else if (key == "SELECTKEY") {
    DrawFolder(p, false);
    DrawTick(p, QColor(0x10, 0x90, 0x20));
  } else if (key == "SELECTOPEN") {
    DrawFolder(p, true);
    DrawTick(p, QColor(0x10, 0x90, 0x20));
  } else if (key == "UNCHECKED") {
    DrawCheckBox(p, false);
  } else if (key == "CHECKED") {
    DrawCheckBox(p, true);
  } else if (key == "REGKEY_ERROR") {
    DrawFolder(p, false);
    DrawCross(p);
  } else {
    return QPixmap();
  }
  return pixmap;
}

IconProvider::IconProvider(bool use_theme) {
  // Theme names for the keys that have a fitting desktop icon.
  const std::map<std::string, QString> theme = {
      {"ROOTKEY", "computer"},       {"REGKEY", "folder"},
      {"KEYOPEN", "folder-open"},    {"STRVAL", "text-x-generic"},
      {"BINVAL", "application-octet-stream"}};
  for (std::string_view key_view : toolkit::kSmallIconKeys) {
    std::string key(key_view);
    QIcon icon;
    auto it = theme.find(key);
    if (use_theme && it != theme.end() && QIcon::hasThemeIcon(it->second))
      icon = QIcon::fromTheme(it->second);
    if (icon.isNull()) icon = QIcon(Drawn(key));
    icons_.emplace(key, icon);
  }
}

QIcon IconProvider::Icon(const std::string& key) const {
  auto it = icons_.find(key);
  return it == icons_.end() ? QIcon() : it->second;
}

}  // namespace qvr::view
