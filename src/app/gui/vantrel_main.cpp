// vantrel: the tray application. For now it offers the skin gallery; the main window
// follows.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "ui/skin/skin_gallery.h"

namespace {

constexpr const char* kUsage =
    "Usage: vantrel [OPTION]\n"
    "  --skin-gallery [--skins DIR]  show every dialog's skin with its controls, without a keyboard\n"
    "  --help                        show this help\n";

}  // namespace

int main(int argc, char** argv) {
  bool gallery = false;
  QString skins;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--skin-gallery") == 0) {
      gallery = true;
    } else if (std::strcmp(argv[i], "--skins") == 0 && i + 1 < argc) {
      skins = QString::fromLocal8Bit(argv[++i]);
    } else {
      std::fprintf(stderr, "vantrel: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (!gallery) {
    std::fputs("vantrel: the main window is not built yet; try --skin-gallery\n", stdout);
    return 0;
  }
  QApplication app(argc, argv);
  if (skins.isEmpty()) skins = QDir(QCoreApplication::applicationDirPath()).filePath("Skins");
  app.setWindowIcon(QIcon(QDir(skins).filePath("vantrel.png")));
  vantrel::ui::SkinGallery window(skins);
  window.show();
  return app.exec();
}
