// IconProvider: the pictures behind the image keys of the small-icon list.
//
// The desktop's icon theme supplies the computer, the folders and the text
// and binary documents where it has them; everything else, and every key
// when there is no theme, is a 16x16 picture drawn here: a computer, a
// folder, an open folder, the folders marked as the way to a pick (a green
// tick), a folder that failed to open (a red cross), text and binary
// documents, and empty and ticked check boxes. "BLANK" is transparent. An
// unknown key gives a null icon.
#ifndef QVR_QT_ICON_PROVIDER_H_
#define QVR_QT_ICON_PROVIDER_H_

#include <QIcon>
#include <QString>
#include <map>
#include <string>

namespace qvr::view {

class IconProvider {
 public:
  // With `use_theme` false every icon is the drawn one.
  explicit IconProvider(bool use_theme = true);

  QIcon Icon(const std::string& key) const;
  // The drawn 16x16 picture of a key (null for unknown keys).
  static QPixmap Drawn(const std::string& key);

 private:
  std::map<std::string, QIcon> icons_;
};

}  // namespace qvr::view

#endif  // QVR_QT_ICON_PROVIDER_H_
