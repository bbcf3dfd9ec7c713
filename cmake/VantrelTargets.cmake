# Warnings are errors for our own code.
function(vantrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Collects the sources of one layer: every .cpp below DIR, so that adding a file needs
# no edit of a shared list.
function(vantrel_sources out dir)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Precompiled headers for the Qt-heavy targets: in a window or its test most of the compile
# time goes to parsing the Qt Widgets (and test framework) headers, again for every file.
# Only headers used throughout the target belong here; the rest stay where they are used.
set(VANTREL_QT_WIDGET_HEADERS
    <QApplication> <QComboBox> <QDialog> <QDir> <QImage> <QKeyEvent> <QLabel> <QLineEdit>
    <QListWidget> <QMenu> <QPainter> <QPixmap> <QPointer> <QPushButton> <QSettings> <QString>
    <QTimer> <QWidget>
    <filesystem> <functional> <map> <memory> <optional> <string> <vector>)
function(vantrel_precompile target)
  if(VANTREL_PCH)
    target_precompile_headers(${target} PRIVATE ${VANTREL_QT_WIDGET_HEADERS} ${ARGN})
  endif()
endfunction()
